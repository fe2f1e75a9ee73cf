// The web service's replies, each through the reader code that receives it: live and buffered traffic,
// parked traffic, weather, nearest METAR, login and logout. The stand-in service on loopback sends the
// input as the reply body; the first byte chooses the endpoint. A manual clock makes every wait instant.
// Every aircraft the parser hands to the engine (live and buffered) must lie within the feed's ranges.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/engine_state.h"
#include "feed/credential.h"
#include "feed/feed_intake.h"
#include "feed/parked_traffic.h"
#include "feed/readers.h"
#include "feed/record_parser.h"
#include "feed/traffic_record.h"
#include "feed/web_api.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "shell/range.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/rtstub/rt_stub.h"

namespace {

rtstub::Server& service() {
    static rtstub::Server* server = [] {
        fuzz::sandbox();
        static ManualClock clock{1700000000};
        gf_setClock(&clock);
        auto* s = new rtstub::Server();
        s->loadScenario({{"licenses", nlohmann::json::array({{{"license", "LIC-1"}, {"type", 2}, {"expiryDays", 30}}})},
                         {"rrl", 2000},
                         {"wrrl", 2000},
                         {"stations", nlohmann::json::array()},
                         {"tracks", nlohmann::json::array()}});
        s->setUnixTime(1700000000.0);
        s->start();
        ::setenv("VEXA_API_URL", s->baseUrl().c_str(), 1);
        return s;
    }();
    return *server;
}

void reply(const char* endpoint, std::string body) {
    rtstub::ScriptedReply r;
    r.body = std::move(body);
    service().script(endpoint, r);
}

void status(const char* endpoint, int code) {
    rtstub::ScriptedReply r;
    r.status = code;
    service().script(endpoint, r);
}

bool within(double value, double low, double high) { return value >= low && value <= high; }

// The invariant of the parser's output: what the engine copies into the simulator is physical.
void checkRecord(const TrafficRecord& r) {
    using namespace feedlimits;
    const bool ok =
        !gf_invalidPosition(r.latitude, r.longitude) && within(r.altitudeFt, 0.0, maxAltitudeFt) &&
        within(r.groundSpeedKt, 0.0, maxSpeedKt) && within(r.airSpeedKt, 0.0, maxSpeedKt) &&
        within(r.verticalSpeed, -maxVerticalSpeedFpm, maxVerticalSpeedFpm) && within(r.trackDeg, 0.0, maxTrackDeg) &&
        (r.hasElement23 == 0 || within(r.element23Rad, -maxBankDeg * geo::deg2rad, maxBankDeg * geo::deg2rad)) &&
        (r.hasTrueHeading == 0 || within(r.trueHeadingRad, 0.0, 2.0 * geo::pi)) && std::isfinite(r.timestamp) &&
        r.address > 10000;
    if (!ok) {
        std::fprintf(stderr, "record out of range: %06x alt %g gs %g tas %g vs %g track %g bank %g\n", r.address,
                     r.altitudeFt, r.groundSpeedKt, r.airSpeedKt, r.verticalSpeed, r.trackDeg, r.element23Rad);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    rtstub::Server& stub = service();
    stub.clearScripts();
    stub.clearRequests();
    gf_resetFeed();
    weatherReader.guid = "fuzz";
    trafficReader.guid = "fuzz";
    trafficReader.setOwnPosition(LatLon{52.3, 4.76});
    rangeNm = 40.0;
    rtCredential = "LIC-1";
    gf_setFeedIntakeOpen(true);
    std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    std::int32_t code = 0;
    try {
        switch (data[0] % 7) {
        case 0:  // live traffic after a plain buffered answer; a 401 ends the loop
            status("traffic", 200);
            reply("traffic", std::move(body));
            status("traffic", 401);
            trafficReader.receive(code);
            break;
        case 1:
            reply("traffic", std::move(body));
            trafficReader.buffer(code);
            break;
        case 2:
            reply("traffic", std::move(body));
            gf_readParkedTraffic();
            break;
        case 3:  // weather between two METAR answers; the second ends the loop
            status("nearestmetar", 200);
            reply("weather", std::move(body));
            status("nearestmetar", 401);
            weatherReader.receive(code);
            break;
        case 4:
            reply("nearestmetar", std::move(body));
            lf_getNearestMetar(code);
            break;
        case 5:
            reply("auth", std::move(body));
            lf_authenticate(code);
            break;
        default:
            reply("deauth", std::move(body));
            gf_deauthenticate(trafficReader);
            break;
        }
    } catch (const std::runtime_error&) {
        // The parked request reports a parameter fault and an unlicensed area by throwing.
    }
    gf_takeFeedIntake(1 << 20, [](TrafficRecord& r) { checkRecord(r); });
    return 0;
}
