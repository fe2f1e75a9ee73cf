#pragma once
// Reading the stand-in simulator's trace (VEXA_SIM_TRACE, one JSON object per line) into the life
// of every object, the counts that scripts/demo prints, and an SVG map of the traced tracks.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/demotrace/apron.h"
#include "tools/demotrace/feed_tracks.h"

namespace demotrace {

struct TracePoint {
    double tMs = 0;
    double latitude = 0, longitude = 0;  // degrees
    double altitudeFt = 0;
    double aboveGroundFt = 0;
    double headingDeg = NAN;  // true heading; NaN when the line had none
    bool onGround = false;
};

struct TracedObject {
    std::uint32_t id = 0;
    bool user = false;
    bool foreign = false;  // present from another client, not created by the program
    bool created = false;  // the program asked for it
    bool removed = false;  // the program asked for its removal (or the simulator reported it gone)
    bool createdOnGround = false;
    bool parked = false;  // its engines were shut down while it stood on the ground
    // When the program created it and when it asked for its removal (or the simulator reported it
    // gone, whichever came first), in trace milliseconds.
    std::optional<double> createdMs, removeMs;
    // Where the program created it (the "create" line's position); none for lines without one.
    std::optional<double> createdLatitude, createdLongitude;
    // For every engine shut-down on the ground: the number of points traced before it.
    std::vector<std::size_t> groundShutdowns;
    std::string atcId, title;
    std::vector<TracePoint> points;
};

struct Trace {
    std::map<std::uint32_t, TracedObject> objects;
    int refused = 0;   // creations the simulator refused
    int lines = 0;     // lines read
    int badLines = 0;  // lines that were not a JSON object with "ev"
    // The simulator's ground elevation, from the first point above it (altitude - height above
    // ground); none when every point was on or below the ground.
    std::optional<double> groundFt;
    // The UTC clock at the trace's time 0 (its "clock" line), milliseconds since 1970; none without one.
    std::optional<double> startUtcMs;
};

// Two aircraft that stood together: their callsigns (the object id when none), in the order of their ids, the
// stand they shared (empty when they stood closer than the smallest stand radius but not on one stand), how far
// apart they stood, and the longest time they stood so, in seconds.
struct StandingTogether {
    std::string first, second;
    std::string stand;
    double metres = 0;
    double seconds = 0;
};

// A live aircraft that stood still on the ground, off every stand, for more than kStillOffStandMs while its feed
// moved on: its callsign, where it stood, from when and for how long (trace seconds), and how far its feed took
// it from where the feed had it when the stop began.
struct StandingStill {
    std::string callsign;
    double latitude = 0, longitude = 0;
    double fromSec = 0, seconds = 0;
    double feedMetres = 0;
};

struct Summary {
    int created = 0;      // AI objects the program created
    int moved = 0;        // of those, the ones that moved more than 30 m from where they appeared
    int landed = 0;       // seen airborne and later on the ground (not below it)
    int parked = 0;       // engines shut down on the ground, as the program does at a stand
    int removed = 0;      // AI objects removed
    int refused = 0;      // creations refused by the simulator
    int belowGround = 0;  // AI objects seen more than 50 ft below the ground (a fault of the motion)

    // The apron counts, only reported when the airport's stands are known.
    bool withStands = false;
    int atStands = 0;  // created on the ground at a stand: the sum of the three below
    int atStandsStatic = 0, atStandsFeedParked = 0, atStandsDeparting = 0;
    int pushedBack = 0;     // rolled backwards on the ground (course opposite the heading)
    int taxiedOut = 0;      // pushed back, then rolled forwards on the ground
    int tookOff = 0;        // on the ground first, airborne later
    int parkedAtStand = 0;  // landed, then stood still at a stand or shut its engines down
    // Pairs of created aircraft (live or static) that stood still on the ground together for more than
    // kTogetherMs: on one stand, or closer to each other than the smallest stand radius of the file.
    int standingTogether = 0;
    std::vector<StandingTogether> togetherPairs;

    // Only counted when the feed scenario's tracks are known.
    bool withFeed = false;
    int standingStill = 0;
    std::vector<StandingStill> stillOffStand;
};

// How long two aircraft stand together before it counts, and how many pairs the summary names.
constexpr double kTogetherMs = 30000.0;
constexpr std::size_t kTogetherLines = 20;
// How long a live aircraft stands still off a stand while its feed moves before it counts, how far its feed must
// take it meanwhile, and how far behind its feed the program plays it (the service's play starts about when the
// trace does).
constexpr double kStillOffStandMs = 120000.0;
constexpr double kFeedMovedMetres = 200.0;
constexpr double kFeedDelaySec = 30.0;

// The closing down of the program: scripts/demo notes how many lines the trace had when it asked the program to
// close. The lines up to there tell the run, the ones after it the closing, in which the program takes every
// aircraft it put into the simulator out again.
struct Closing {
    int inSimulator = 0;  // the program's aircraft in the simulator (or on their way in) when the closing began
    int removed = 0;      // of those, the ones the closing removed
    int left = 0;         // the program's aircraft still in the simulator when the trace ends
};

Trace readTrace(std::istream& in);
// The trace's first lines: the run before its closing.
Trace readTrace(std::istream& in, std::size_t maxLines);
// What the closing did, from the trace of the run before it and the whole trace.
Closing summariseClosing(const Trace& run, const Trace& whole);
// "closing          12 in the simulator, 12 removed, 0 left in it"
std::string closingText(const Closing& closing);
// With the feed's tracks, the live aircraft (those the program created under a callsign of the feed) that stood
// still off a stand while their feed moved are counted too.
Summary summarise(const Trace& trace, const Apron& apron = {}, const FeedTracks& feed = {});
// One line per count ("created  3"), a line on aircraft below the ground when there were any, the apron
// counts when the summary has them, with a line for each pair that stood together (the first kTogetherLines of
// them), and with the feed the aircraft that stood still off a stand, each named below the count.
std::string summaryText(const Summary& summary);
// An SVG picture of every traced track around the user aircraft (or the traffic's middle when the
// trace has no user position); with stands, a second panel beside it shows the airport's aprons to
// scale with the stands, the ground tracks and where every aircraft ended.
std::string svgMap(const Trace& trace, const Summary& summary, const Apron& apron = {});

}  // namespace demotrace
