// The parser of one live aircraft: every acceptance rule of the feed, in a fixed order.
#include "feed/record_parser.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <set>
#include <string_view>

#include <fmt/format.h>

#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "feed/feed_values.h"
#include "feed/readers.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "shell/engine_inbox.h"
#include "shell/status_line.h"

namespace {

constexpr double deg2rad = 0.017453292519943295;
constexpr double rad2deg = 57.29577951308232;
constexpr double twoPi = 6.283185307179586;
// A time stamp further than a day from the time the feed asks for is no time of live traffic.
constexpr double maxStampDistanceSec = 86400.0;

std::mutex blockedMutex;
std::string blockedCallsignSeen;

const std::set<std::string, std::less<>>& lf_nonAircraftTypes() {
    static const std::set<std::string, std::less<>> types{"BALL", "EMER", "GLID", "GND", "GRND",
                                                          "PARA", "SERV", "SHIP", "VENT"};
    return types;
}

bool lf_isAircraft(const TrafficRecord& record, std::string_view category) {
    if (record.identity.icaoType.empty()) return false;
    if (category.empty() || category == "null") return true;
    if (category == "B1" || category == "B2" || category == "B4" || category == "C1" || category == "C2") return false;
    const std::string& type = record.identity.icaoType;
    return type.size() <= 4 && lf_nonAircraftTypes().count(type) == 0;
}

bool lf_checkCategory(const TrafficReader& reader, const TrafficRecord& record) {
    return lf_isAircraft(record, feedvalues::text(reader.currentLine[28]));
}

bool lf_readRegistration(const TrafficReader& reader, TrafficRecord& record) {
    std::string registration = feedvalues::text(reader.currentLine[9]);
    if (registration.size() > 12) return false;
    if (registration == "null") registration.clear();
    record.identity.registration = std::move(registration);
    return true;
}

bool lf_readHexAddress(const TrafficReader& reader, TrafficRecord& record) {
    record.address = gf_leadingHex(feedvalues::text(reader.currentLine[0]));
    return record.address > 10000;
}

// A value that places the aircraft outside its range drops the record with a log line.
bool lf_withinRange(const TrafficReader& reader, const char* what, double value, double low, double high,
                    const char* unit) {
    if (value >= low && value <= high) return true;
    gf_log(fmt::format("{}: {} dropped, {} {} {} is out of range", "processLine",
                       feedvalues::text(reader.currentLine[0]), what, value, unit));
    return false;
}

bool lf_setAltitude(const TrafficReader& reader, TrafficRecord& record) {
    const auto& line = reader.currentLine;
    double raw = 0.0;
    if (line[4].is_number())
        raw = line[4].get<double>();
    else if (line[18].is_number())
        raw = line[18].get<double>();

    double altitude = 0.0;
    if (raw > 0.0) {
        altitude = raw + (qnhHpa.load() - 1013) * 30.0;
        if (altitude < 0.0) altitude = 0.0;
        if (!lf_withinRange(reader, "altitude", altitude, 0.0, feedlimits::maxAltitudeFt, "ft")) return false;
        if (altitude > 0.0 && altitude < 14000.0) {
            const double height =
                fieldElevationKnown.load() != 0 ? altitude - fieldElevationFt.load() : altitude + 1000.0;
            const double gs = record.groundSpeedKt;
            if (height <= 0.0 || (height <= 45.0 && gs <= 120.0) || (height <= 90.0 && gs <= 80.0) ||
                (height <= 120.0 && gs <= 43.0))
                altitude = 0.0;
        }
    }
    if (record.groundSpeedKt <= 35.0) altitude = 0.0;
    record.altitudeFt = altitude;
    record.airborne = altitude > 0.0 ? 1 : 0;
    return true;
}

bool lf_checkCallsign(TrafficReader& reader, TrafficRecord& record) {
    std::string callsign = feedvalues::text(reader.currentLine[13]);
    if (callsign == "null") {
        record.identity.callsign.clear();
        return true;
    }
    if (callsign.find('@') != std::string::npos) {
        record.identity.callsign.clear();
        return true;
    }
    if (callsign == "ERARMTR0" || callsign == "AIRPORT1") return false;
    record.identity.callsign = callsign;

    const std::string blocked = BLOCK_CALLSIGN.value();
    if (blocked.empty() || blocked != callsign) return true;

    std::string message;
    {
        std::lock_guard lock(blockedMutex);
        if (reader.blockNoticeArmed != 0) {
            reader.blockNoticeArmed = 0;
            blockedCallsignSeen = callsign;
            gf_postEngineNotice(makeNotice(0, record.address, NoticeKind::Blocked));
            message = "Reader: Live aircraft " + callsign + " blocked";
        } else if (blockedCallsignSeen != callsign) {
            message = "Reader: Live aircraft " + blockedCallsignSeen + " no longer blocked";
            reader.blockNoticeArmed = 1;
            blockedCallsignSeen.clear();
        }
    }
    if (!message.empty()) gf_showStatus(message, true);
    return false;
}

// Ground traffic is kept only near the selected park airport.
bool lf_nearSelectedAirport(const TrafficRecord& record) {
    const CurrentAirport airport = gf_currentAirportCopy();
    if (airport.icao.empty()) return false;
    return gf_distanceNm(LatLon{airport.latitude, airport.longitude}, LatLon{record.latitude, record.longitude}) <= 5.0;
}

}  // namespace

std::uint32_t gf_leadingHex(const std::string& text) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<std::uint64_t>(d);
        if (value > 0xFFFFFFFFull) return 0;
        ++digits;
    }
    return digits == 0 ? 0 : static_cast<std::uint32_t>(value);
}

bool gf_invalidPosition(double latitude, double longitude) {
    if (!(latitude >= -90.0 && latitude <= 90.0) || !(longitude >= -180.0 && longitude <= 180.0)) return true;
    return latitude >= 0.0 && latitude <= 0.0009 && longitude >= 0.0 && longitude <= 0.05;
}

std::string gf_blockedCallsignSeen() {
    std::lock_guard lock(blockedMutex);
    return blockedCallsignSeen;
}

void gf_resetRecordParser() {
    std::lock_guard lock(blockedMutex);
    blockedCallsignSeen.clear();
}

void processLine(TrafficReader& reader) {
    try {
        const auto& line = reader.currentLine;
        if (!line.is_array() || line.size() != 48)
            throw std::runtime_error(fmt::format("not an aircraft of 48 elements: {:.60}", line.dump()));
        TrafficRecord record;

        record.timestamp = feedvalues::number(line[10]);
        // The engine times a whole answer from its time stamps: one far from the time asked for (or
        // none) would throw every record of the answer out of its time. With a time shift the service
        // answers with the traffic of that time, now less the shift.
        const std::int64_t asked = gf_unixTime() - std::int64_t{reader.toffset.load()} * 60;
        if (!(std::fabs(record.timestamp - static_cast<double>(asked)) <= maxStampDistanceSec)) {
            gf_log(fmt::format("{}: {} dropped, time stamp {} is not within a day of {}", "processLine",
                               feedvalues::text(line[0]), line[10].dump(), gf_timeText(asked)));
            return;
        }
        reader.lastFeedTimestamp.store(record.timestamp);

        if (!lf_readRegistration(reader, record)) return;

        std::string type = feedvalues::text(line[8]);
        if (type == "0" || type == "ZZZZ") type.clear();
        record.identity.icaoType = std::move(type);

        if (!lf_checkCategory(reader, record)) return;

        record.latitude = feedvalues::number(line[1]);
        record.longitude = feedvalues::number(line[2]);
        if (gf_invalidPosition(record.latitude, record.longitude))
            return;  // an impossible or unset position is dropped without a word

        if (gf_distanceNm(reader.ownPositionCopy(), LatLon{record.latitude, record.longitude}) >
            feedvalues::lateralRangeNm())
            return;

        if (feedvalues::text(line[17]) == "adsb_icao") {
            const double heading = feedvalues::number(line[25]);
            if (heading > 360.0) return;  // an impossible heading drops the record without a word
            if (heading >= 0.0) {
                record.trueHeadingRad = heading == 0.0 ? twoPi : heading * deg2rad;
                record.hasTrueHeading = 1;
                record.feedHeading = 1;
            }
        }

        if (!lf_readHexAddress(reader, record)) return;

        record.groundSpeedKt = feedvalues::number(line[5]);
        if (!lf_withinRange(reader, "ground speed", record.groundSpeedKt, 0.0, feedlimits::maxSpeedKt, "kt")) return;
        if (!lf_setAltitude(reader, record)) return;

        if (!lf_checkCallsign(reader, record)) return;
        if (record.identity.callsign.empty() && record.identity.registration.empty()) return;

        if (reader.bufferedMode.load() != 0) {
            std::lock_guard lock(reader.bufferedMutex);
            if (!record.identity.callsign.empty()) reader.bufferedCallsigns.insert(record.identity.callsign);
            reader.bufferedAddresses.insert(record.address);
        }

        if (record.airborne == 0 && !lf_nearSelectedAirport(record)) return;

        // A track outside 0..360 degrees counts as not sent.
        const double track = feedvalues::number(line[3]);
        const bool trackSent = line[3].is_number() && track >= 0.0 && track <= feedlimits::maxTrackDeg;
        record.trackDeg = trackSent ? track : 0.0;
        if ((!trackSent || record.trackDeg == 0.0) && record.hasTrueHeading != 0)
            record.trackDeg = record.trueHeadingRad * rad2deg;

        record.verticalSpeed =
            std::clamp(feedvalues::number(line[15]), -feedlimits::maxVerticalSpeedFpm, feedlimits::maxVerticalSpeedFpm);

        std::string origin = feedvalues::text(line[11]);
        std::string destination = feedvalues::text(line[12]);
        record.identity.origin = origin == "null" ? std::string() : std::move(origin);
        record.identity.destination = destination == "null" ? std::string() : std::move(destination);

        if (record.airborne != 0 && line[23].is_number()) {
            const double bank = line[23].get<double>();
            if (bank != 0.0 && bank != -1.0) {
                record.element23Rad = -std::clamp(bank, -feedlimits::maxBankDeg, feedlimits::maxBankDeg) * deg2rad;
                record.hasElement23 = 1;
            }
        }

        // An air speed of -1, or one outside 0..2000 kt, counts as not sent.
        const double airSpeed = feedvalues::number(line[20]);
        if (line[20].is_number() && airSpeed >= 0.0 && airSpeed <= feedlimits::maxSpeedKt) {
            record.airSpeedKt = airSpeed;
        } else {
            const double alt = record.altitudeFt;
            record.airSpeedKt = alt <= 2000.0    ? 180.0
                                : alt <= 5000.0  ? 220.0
                                : alt <= 10000.0 ? 250.0
                                : alt <= 20000.0 ? 350.0
                                                 : 430.0;
        }

        record.engineFlag = 0;
        reader.records.push_back(std::move(record));
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "processLine", e.what()));
    }
}
