// Aircraft records: names of the enumerations, per-category motion values, identity labels, constructors
// and the small list operations over the creation queues.
#include "engine/aircraft.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/engine_state.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "simlink/commands.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Lookup in a fixed table; a key outside it is the standard out-of-range error.
template <typename Map>
const typename Map::mapped_type& lookup(const Map& map, const typename Map::key_type& key) {
    auto it = map.find(key);
    if (it == map.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

}  // namespace

std::string_view simStateName(SimState state) {
    static const std::unordered_map<uint32_t, std::string_view> names{
        {0, "buffer"}, {1, "adding2sim"}, {2, "active"}, {3, "liveryrespawn"}, {4, "removingfromsim"}};
    return lookup(names, static_cast<uint32_t>(state));
}

std::string_view phaseName(MovementPhase phase) {
    static const std::unordered_map<uint32_t, std::string_view> names{
        {0, "pushing_back"}, {1, "pushed_back"}, {2, "taxi"},   {3, "take_off"},
        {4, "flying"},       {5, "parking"},     {6, "parked"}, {7, "birth"}};
    return lookup(names, static_cast<uint32_t>(phase));
}

const CategoryValues& categoryValues(uint32_t category) {
    auto make = [](uint32_t flare, uint32_t rollout, uint32_t rotation, uint32_t climbTicks, double takeOffDeg,
                   double climbDeg, double turnDeg, double climbStep, double taxiKt, double bankStepDeg, double bankDeg,
                   double pitchStepDeg, double takeOffKt) {
        return CategoryValues{flare,
                              rollout,
                              rotation,
                              climbTicks,
                              takeOffDeg * kDegToRad,
                              climbDeg * kDegToRad,
                              turnDeg * kDegToRad,
                              climbStep,
                              taxiKt,
                              bankStepDeg * kDegToRad,
                              bankDeg * kDegToRad,
                              pitchStepDeg * kDegToRad,
                              takeOffKt};
    };
    static const std::unordered_map<uint32_t, CategoryValues> table{
        {0, make(250, 250, 100, 200, -9, -15, 0.15, 0.5, 5, 0.035, 40, 0.01, 90)},
        {1, make(300, 300, 200, 250, -8, -18, 0.1, 0.75, 4.5, 0.0275, 35, 0.0085, 110)},
        {2, make(400, 350, 200, 300, -6, -16.5, 0.07, 0.6, 4, 0.02, 30, 0.0075, 140)},
        {3, make(450, 450, 250, 400, -5, -12.5, 0.05, 0.5, 3, 0.015, 20, 0.005, 150)},
        {4, make(150, 150, 100, 200, -6, -20, 0.1, 1, 4.5, 0.1, 90, 0.03, 220)},
        {5, make(100, 100, 100, 100, -20, -30, 0.2, 0.75, 5, 0.06, 75, 0.03, 0)},
    };
    return lookup(table, category);
}

StreamPoint streamPointOf(const TrafficRecord& r) {
    StreamPoint p;
    p.latitude = r.latitude;
    p.longitude = r.longitude;
    p.element23Rad = r.element23Rad;
    p.hasElement23 = r.hasElement23;
    p.trueHeadingRad = r.trueHeadingRad;
    p.hasTrueHeading = r.hasTrueHeading;
    p.altitudeFt = r.altitudeFt;
    p.groundSpeedKt = r.groundSpeedKt;
    p.trackDeg = r.trackDeg;
    p.verticalSpeed = r.verticalSpeed;
    p.airSpeedKt = r.airSpeedKt;
    p.tick = r.tick;
    p.airborne = r.airborne;
    p.engineFlag = r.engineFlag;
    p.feedHeading = r.feedHeading;
    return p;
}

SimAircraft::SimAircraft(const SimAircraft& head, uint32_t standIdArg, double standLat, double standLon,
                         double standHeadingRad, uint8_t cargoFlag)
    : SimAircraft(head) {
    objectId = 0;
    standLatitude = standLat;
    standLongitude = standLon;
    standHeading = standHeadingRad;
    parkedSlot = 0;
    feedHexid = 0;
    standId = standIdArg;
    simState = SimState::Buffer;
    throttleIndex = kNoThrottleSent;
    flapsIndex = kNoFlapsSent;
    cargo = cargoFlag;
    planned = 1;
    removeWhenCreated = 0;
    removeFromBuffer = 0;
    removedFromQueue = 0;
}

LiveAircraft::LiveAircraft(const StreamPoint& first, const SimAircraft& head, double feedTime)
    : SimAircraft(head, 0, 0.0, 0.0, 0.0, 0) {
    lastFeedTime = feedTime;
    stream.push_back(first);
}

// ---------------------------------------------------------------- identity texts

bool sameAirlineType(const AircraftIdentity& a, const AircraftIdentity& b) {
    return a.airline == b.airline && a.icaoType == b.icaoType;
}

bool isValidCallsign(const AircraftIdentity& id) {
    return !id.callsign.empty() && id.callsign != "@@@@@@@@" && id.callsign.size() <= 8;
}

std::optional<std::string> airlineCodeOfCallsign(std::string_view cs) {
    auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
    if (cs.size() < 4 || !letter(cs[0]) || !letter(cs[1]) || !letter(cs[2]) ||
        !std::isdigit(static_cast<unsigned char>(cs[3])))
        return std::nullopt;
    std::string code(cs.substr(0, 3));
    for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return code;
}

bool airlineFromCallsign(AircraftIdentity& id) {
    auto code = airlineCodeOfCallsign(id.callsign);
    if (!code) return false;
    id.airline = std::move(*code);
    return true;
}

// ---------------------------------------------------------------- creation queues

bool isQueuedForCreation(std::deque<SpawnOrder>& fifo, std::string_view callsign) {
    if (callsign.empty()) return false;
    const auto before = fifo.size();
    fifo.erase(std::remove_if(fifo.begin(), fifo.end(), [&](const SpawnOrder& o) { return o.callsign == callsign; }),
               fifo.end());
    return fifo.size() != before;
}

bool takeQueuedCreation(std::deque<SpawnOrder>& fifo, uint32_t id) {
    const auto before = fifo.size();
    fifo.erase(std::remove_if(fifo.begin(), fifo.end(), [&](const SpawnOrder& o) { return o.id == id; }), fifo.end());
    return fifo.size() != before;
}

// ---------------------------------------------------------------- arrivals

namespace {
struct ArrivalTry {
    uint32_t id;
    uint32_t halfHour;
};
std::vector<ArrivalTry> arrivalsTried;
}  // namespace

void gf_noteArrivalTried(uint32_t id, uint32_t halfHour) {
    for (auto& t : arrivalsTried) {
        if (t.id == id) {
            t.halfHour = halfHour;
            return;
        }
    }
    arrivalsTried.push_back({id, halfHour});
}

void gf_forgetArrivalTried(uint32_t id) {
    for (auto& t : arrivalsTried) {
        if (t.id != id) continue;
        t = arrivalsTried.back();
        arrivalsTried.pop_back();
        return;
    }
}

bool isArrivalDue(uint64_t weekSlot, uint32_t aircraftId, bool force) {
    const auto halfHour = static_cast<uint32_t>(weekSlot >> 32);
    for (auto& t : arrivalsTried) {
        if (t.id != aircraftId) continue;
        if (!force && (halfHour + 48 - t.halfHour) % 48 < 3) return false;
        t.halfHour = halfHour;
        return true;
    }
    arrivalsTried.push_back({aircraftId, halfHour});
    return true;
}

// ---------------------------------------------------------------- categories and records

void gf_makeAiRecord(SimAircraft& out, const TrafficRecord& record) {
    SimAircraft made;
    made.category = 2;
    made.identity = record.identity;
    made.halfSpanNm = gf_wingspan(made.identity.icaoType);
    made.category = categoryIndex(gf_aircraftCategory(made.identity.icaoType));
    const CategoryValues& v = categoryValues(made.category);
    made.flareTicks = v.flareTicks;
    made.rolloutTicks = v.rolloutTicks;
    made.rotationTicks = v.rotationTicks;
    made.climbPitchTicks = v.climbPitchTicks;
    made.takeOffPitch = gf_randomVariation(v.takeOffPitch / kDegToRad, 2.5) * kDegToRad;
    made.climbPitch = gf_randomVariation(v.climbPitch / kDegToRad, 5.0) * kDegToRad;
    made.groundTurnStep = v.groundTurnStep;
    out = std::move(made);
}

// ---------------------------------------------------------------- stands of the current airport

ParkPos* gf_findStandById(uint32_t standId) {
    for (auto& s : currentStands)
        if (s.id == standId) return &s;
    return nullptr;
}

ParkPos* gf_findStandByName(std::string_view name) {
    for (auto& s : currentStands)
        if (s.name == name) return &s;
    return nullptr;
}

void gf_occupyStand(ParkPos& stand) {
    stand.taken = 1;
    for (uint32_t coupled : stand.coupledIds)
        if (ParkPos* other = gf_findStandById(coupled)) other->coupledOccupied = 1;
}

// ---------------------------------------------------------------- removal and parked pattern

void gf_logRemoval(const SimAircraft& ac, std::string_view reason) {
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {:8} removed, {}", gf_standNameById(ac.standId), ac.identity.callsign, reason));
}

void removeAircraftFromSim(SimAircraft& ac) {
    if (ac.simState == SimState::Buffer) {
        ac.removeFromBuffer = 1;
        return;
    }
    if (ac.removeWhenCreated) return;
    // A second request for an aircraft already being removed queues nothing.
    if (ac.simState == SimState::RemovingFromSim) return;
    // A livery respawn has queued (or sent) the removal of its object already: the notice of that
    // removal now ends the aircraft instead of bringing it back.
    const bool removalUnderWay = ac.simState == SimState::LiveryRespawn && ac.objectId != 0;
    if (ac.simState == SimState::Adding2Sim) {
        // Only this aircraft's own order is taken out: another aircraft may fly the same callsign.
        if (takeQueuedCreation(liveCreateFifo, ac.id) || takeQueuedCreation(staticCreateFifo, ac.id)) {
            ac.removedFromQueue = 1;
        } else if (ac.isLive() && std::find(spawnIds.begin(), spawnIds.end(), ac.id) != spawnIds.end()) {
            // Cleared for creation but not yet ordered: it never reaches the simulator.
            spawnIds.erase(std::remove(spawnIds.begin(), spawnIds.end(), ac.id), spawnIds.end());
            ac.removedFromQueue = 1;
        }
        if (ac.removedFromQueue) {
            // It leaves the list without ever standing there: a stand it was placed on is free again.
            lf_releaseStand(ac);
        } else {
            ac.removeWhenCreated = 1;
        }
        return;
    }
    lf_releaseStand(ac);
    ac.simState = SimState::RemovingFromSim;
    if (ac.isLive() && ac.objectId != 0 && ac.objectId == watchedObjectId) {
        watchedObjectId = 0;
        mainWindow.objectIdText.clear();
        mainWindow.invalidate();
        if (!CALLSIGN_2_OBJECTID.value().empty()) {
            CALLSIGN_2_OBJECTID.set(std::string());
            gf_showTextField(CALLSIGN_2_OBJECTID);
        }
    }
    if (ac.objectId != 0) {
        if (!removalUnderWay) gf_queueRemoval(ac.objectId);
        return;
    }
    gf_logError(fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim", acLabel(ac)));
    // No object to take out of the simulator, so no removal notice will ever come: the aircraft leaves
    // its list with the next compaction instead of staying there, removing, for good (which would also
    // swallow every later record of its hexid).
    if (ac.isLive())
        ac.removeFromBuffer = 1;
    else
        ac.removedFromQueue = 1;
}

void parkedLightPattern(SimAircraft& ac) {
    const uint32_t obj = ac.objectId;
    if (ac.throttleIndex != 0) {
        lf_queueEvent(obj, vsim::kEvThrottleSet, 0);
        ac.throttleIndex = 0;
    }
    if (ac.flapsIndex != 0 && ac.category != static_cast<uint32_t>(AircraftCategory::Rotorcraft)) {
        lf_queueEvent(obj, vsim::kEvFlapsSet, 0);
        ac.flapsIndex = 0;
    }
    lf_queueEvent(obj, vsim::kEvEngineAutoShutdown, 0);
    const uint32_t cabin = ac.cargo ? 0u : (gf_randomDraw() % 10 < 9 ? 1u : 0u);
    lf_queueEvents(obj, {{vsim::kEvNavLightsSet, NAV_LIGHTS_WHILE_PARKED.value.load() ? 1u : 0u},
                         {vsim::kEvBeaconLightsSet, 0},
                         {vsim::kEvLandingLightsSet, 0},
                         {vsim::kEvTaxiLightsSet, 0},
                         {vsim::kEvStrobesSet, 0},
                         {vsim::kEvLogoLightsSet, 1},
                         {vsim::kEvCabinLightsSet, cabin}});
}
