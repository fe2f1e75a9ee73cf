#pragma once
// The parking planner: which stands of the current park airport carry a static parked aircraft, and
// which aircraft. It combines the feed's parked traffic with the stands' week plans and leaves its
// result in staticJobs, which the engine places from the back. Run thread only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/aircraft.h"
#include "engine/conflicts.h"
#include "feed/traffic_record.h"
#include "foundation/time_text.h"

struct ParkPos;

// What the planner asks of the levels above it (the window's controls) and of the feed. The app
// registers the controls; readParkedTraffic defaults to the feed's request, and may throw.
struct PlannerHooks {
    std::function<void()> disableParkingControls;
    std::function<void()> enableParkingControls;
    std::function<void()> enablePtControls;
    // The controls that need a park airport (the parking percentage, "Flush static"), when it is left.
    std::function<void()> disableAirportControls;
    std::function<bool()> readParkedTraffic;
    // The free stand for a parked record near a position (the engine's fitting-stand search).
    std::function<ParkPos*(double latitude, double longitude, const SimAircraft& ac, double maxNm)> nearestFittingStand;
};
PlannerHooks& gf_plannerHooks();

// A static aircraft the planner wants removed: the one active or removing on the stand, and why (for the log).
struct RemovalEntry {
    std::uint32_t standId = 0;
    std::string reason;
};
// A static aircraft the renewal keeps.
struct KeptStatic {
    std::string airline, icaoType, callsignA, callsignB, registration;
    std::string callsign;
    WeekSlot slot{};
    std::uint32_t standId = 0;
    std::uint8_t stays = 0;
    bool leaving = false;
};

extern std::vector<RemovalEntry> removalList;
extern std::vector<KeptStatic> keptStatics;
extern std::vector<ParkedLive> liveStayers;

// The fit levels that the last plan reached. Whether its soft search placed aircraft is the window's static
// planning mark, "*S*" (mainWindow.staticPlanningMark).
struct PlannerDisplay {
    std::atomic<std::int32_t> realFit{0};
    std::atomic<std::int32_t> softFit{-1};
};
extern PlannerDisplay plannerDisplay;

// Plan options of one kind.
inline constexpr int kSoftKind = 0;
inline constexpr int kRealKind = 1;
// A parked record is placed on a free stand within 110 m.
inline constexpr double kParkedRecordRangeNm = 0.05939524838012959;

// The slot that lies the given half-hours before the slot (stepping back over midnight, Monday to Sunday).
WeekSlot lf_slotBefore(WeekSlot slot, std::int64_t halfHours);
// The slot after the slot (47 wraps to 0 of the next weekday, Sunday to Monday).
WeekSlot lf_slotAfter(WeekSlot slot);
// Whether a is earlier than b within the week's wrap (a Sunday against a Monday counts as earlier).
bool lf_slotEarlier(WeekSlot a, WeekSlot b);
bool lf_sameOrEarlier(WeekSlot a, WeekSlot b);

// Plans the current park airport from scratch.
void lf_parkingPositions();
// The 20-minute renewal; ptOnlyJustSet removes every plan-made static aircraft and limits the check.
void gf_adjustParking(std::uint32_t ptOnlyJustSet);

void lf_reserveUserStands();
// One parked record: appended to staticJobs on a free stand, or dropped.
void lf_standForParkedRecord(const ParkedRecord& record, std::int64_t wanted);
void lf_searchStands(WeekSlot slot, int kind, int fit, std::vector<StaticJob>& level, std::vector<StaticJob>& jobs);
bool lf_fitStands(WeekSlot slot, int kind, std::int64_t wanted, std::vector<StaticJob>& level);
void lf_fillStands(WeekSlot slot, std::int64_t wanted, std::int64_t base, int kind);
void lf_fillToWanted(WeekSlot slot, std::int64_t wanted, std::int64_t base);
// Empties the planner's lists and display values.
void gf_resetPlanner();
