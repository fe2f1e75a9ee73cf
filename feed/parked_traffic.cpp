// Parked aircraft around the current park airport.
#include "feed/parked_traffic.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <exception>
#include <optional>
#include <stdexcept>

#include <fmt/format.h>
#include <gsl/gsl>

#include "airports/current_airport.h"
#include "catalogue/reference_db.h"
#include "feed/feed_values.h"
#include "feed/record_parser.h"
#include "foundation/aircraft_category.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"

namespace {

std::atomic<std::string (*)()> userStandSource{nullptr};

std::string userStandName() {
    auto* source = userStandSource.load();
    return source != nullptr ? source() : std::string();
}

// Half-hour of the UTC day in which a Unix time lies; the half-hour turns at minute 29 second 30.
std::int32_t lf_slotOfSeen(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    std::int32_t slot = utc.tm_hour * 2;
    if (utc.tm_min > 29 || (utc.tm_min == 29 && utc.tm_sec > 29)) slot += 1;
    return slot % 48;
}

std::string lf_readRegistration(const nlohmann::json& line) {
    std::string registration = feedvalues::text(line[4]);
    if (registration.size() > 12 || registration == "null") registration.clear();
    return registration;
}

// Element i of a parked member, or null when the member is shorter.
const nlohmann::json& lf_element(const nlohmann::json& line, std::size_t i) {
    static const nlohmann::json null;
    return i < line.size() ? line[i] : null;
}

}  // namespace

void processParkedTrafficLine(TrafficReader& reader, const std::string& name) {
    try {
        const nlohmann::json& line = reader.parkedLine;
        // Members shorter than the elements read are skipped: the service never sends them.
        if (!line.is_array() || line.size() < 7) return;
        ParkedRecord record;

        record.address = gf_leadingHex(name);
        if (record.address <= 10000) return;

        const auto& seen = lf_element(line, 5);
        const double seenSeconds = seen.is_number() ? seen.get<double>() : 0.0;
        if (!(seenSeconds > -1e12 && seenSeconds < 1e12)) return;
        record.slot = lf_slotOfSeen(static_cast<std::int64_t>(seenSeconds));

        record.identity.registration = lf_readRegistration(line);

        std::string type = feedvalues::text(line[3]);
        if (type == "0" || type == "ZZZZ")
            type.clear();
        else if (type == "A380")
            type = "A388";
        else if (type == "B767")
            type = "B763";
        else if (type == "B747")
            type = "B744";
        else if (type == "B757")
            type = "B752";
        record.identity.icaoType = type;

        record.latitude = feedvalues::number(line[0]);
        record.longitude = feedvalues::number(line[1]);
        if (gf_invalidPosition(record.latitude, record.longitude)) return;

        std::string callsign = feedvalues::text(line[6]);
        if (callsign == "null" || callsign.find('@') != std::string::npos ||
            callsign.find("00000") != std::string::npos || callsign.size() > 8)
            callsign.clear();
        else if (!callsign.empty() && callsign.front() == '.')
            callsign.erase(0, 1);
        record.identity.callsign = callsign;

        auto& id = record.identity;
        if (id.registration.empty() && !id.callsign.empty()) {
            if (const auto entry = gf_findRegcode(id.callsign)) {
                id.airline = entry->airline;
                id.icaoType = entry->type;
                id.registration = id.callsign;
                if (!entry->operatorCode.empty()) id.airline = entry->operatorCode;
            }
        } else if (!id.registration.empty()) {
            for (const auto& spelling : gf_regSpellings(id.registration)) {
                std::optional<DbaseReg> entry;
                if (gf_lookupRegcode(entry, spelling) && entry) {
                    id.airline = entry->airline;
                    id.icaoType = entry->type;
                    if (!entry->operatorCode.empty()) id.airline = entry->operatorCode;
                    if (id.callsign.empty()) id.callsign = id.registration;
                    break;
                }
            }
        }

        if (id.icaoType.empty() || !gf_isKnownModel(id.icaoType) ||
            !gf_categoryEnabled(static_cast<std::uint32_t>(gf_aircraftCategory(id.icaoType))))
            return;

        record.standName = feedvalues::text(line[2]);
        const CurrentAirport airport = gf_currentAirportCopy();
        // "No stand" on either side is no match: an aircraft without a stand name is not on the
        // reserved stand nor under the user.
        if (!airport.reservedStand.empty() && record.standName == airport.reservedStand) return;
        if (const std::string userStand = userStandName(); !userStand.empty() && record.standName == userStand) return;

        reader.parkedRecords.push_back(std::move(record));
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "processParkedTrafficLine", e.what()));
    }
}

bool lf_requestParkedTraffic(TrafficReader& reader, std::int32_t& status) {
    if (reader.guid.empty()) return false;
    reader.parkedResponse.clear();
    reader.parkedRecords.clear();
    FormPost post("traffic", reader.parkedResponse);
    // A request that did not reach the service is a failure, not an airport without parked aircraft.
    if (!post) return false;

    const GeoBox& box = reader.parkedBox;
    const std::string body =
        fmt::format("GUID={}&top={:.2F}&bottom={:.2F}&left={:.2F}&right={:.2F}&querytype=parkedtraffic&toffset={}",
                    gf_formEncode(reader.guid), box.top, box.bottom, box.left, box.right, reader.toffset.load());
    const CURLcode rc = post.perform(body);
    if (rc != CURLE_OK) {
        gf_logError(
            fmt::format("{} curl parkedtraffic code_pt: {}", gf_timeText(gf_unixTime()), curl_easy_strerror(rc)));
        return false;
    }
    try {
        nlohmann::json reply = nlohmann::json::parse(reader.parkedResponse);
        const std::int32_t replyStatus = gf_replyStatus(reply);
        if (replyStatus != 200) {
            status = replyStatus;
            return false;
        }
        auto data = reply.find("data");
        if (data != reply.end() && data->is_object()) {
            for (auto& [name, value] : data->items()) {
                reader.parkedLine = std::move(value);
                processParkedTrafficLine(reader, name);
            }
        }
        return true;
    } catch (const std::exception& e) {
        // An unreadable answer is a failed request, not an airport without parked aircraft.
        gf_logError(fmt::format("{}: {}", "parkedtraffic", e.what()));
        status = 0;
        return false;
    }
}

void gf_setUserStandSource(std::string (*source)()) { userStandSource.store(source); }

bool gf_readParkedTraffic() {
    auto& reader = trafficReader;
    const CurrentAirport airport = gf_currentAirportCopy();
    const LatLon centre{airport.latitude, airport.longitude};
    reader.parkedBox.top = centre.latitude + 0.04996402877697842;
    reader.parkedBox.bottom = centre.latitude - 0.04996402877697842;
    reader.parkedBox.left = gf_destinationPoint(centre, -geo::pi / 2.0, 18228.34647).longitude;
    reader.parkedBox.right = gf_destinationPoint(centre, geo::pi / 2.0, 18228.34647).longitude;

    std::int32_t status = 0;
    if (!lf_requestParkedTraffic(reader, status)) {
        switch (status) {
        case 400: throw std::runtime_error("RT API parameter fault");
        case 403: throw std::runtime_error("No data for this license type");
        case 401:
            gf_logError(fmt::format("RT Parked traffic: re-authentication to RT API is needed {}", "Vexa"));
            return false;
        default: gf_logError(fmt::format("RT parkedtraffic error status: {}", status)); return false;
        }
    }

    const auto now = static_cast<std::int32_t>(gf_halfHourSlot());
    for (auto& record : reader.parkedRecords) {
        record.slot = now - record.slot;
        if (record.slot < 0) record.slot += 48;
    }
    auto& records = reader.parkedRecords;
    if (!RT_PARKTRAFFIC_ONLY.value.load()) {
        const std::int32_t maxFit = MAX_FIT.value.load();
        records.erase(
            std::remove_if(records.begin(), records.end(), [maxFit](const ParkedRecord& r) { return r.slot > maxFit; }),
            records.end());
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const ParkedRecord& a, const ParkedRecord& b) { return a.slot < b.slot; });

    std::vector<ParkedRecord> kept;
    kept.reserve(records.size());
    for (auto& record : records) {
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const ParkedRecord& k) {
            return k.standName == record.standName ||
                   (!record.identity.callsign.empty() && k.identity.callsign == record.identity.callsign);
        });
        if (!duplicate) kept.push_back(std::move(record));
    }
    records = std::move(kept);
    return true;
}
