#pragma once
// Reading the stand-in simulator's trace (VEXA_SIM_TRACE, one JSON object per line) into the life
// of every object, the counts that scripts/demo prints, and an SVG map of the traced tracks.
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace demotrace {

struct TracePoint {
    double tMs = 0;
    double latitude = 0, longitude = 0;  // degrees
    double altitudeFt = 0;
    double aboveGroundFt = 0;
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
};

struct Summary {
    int created = 0;      // AI objects the program created
    int moved = 0;        // of those, the ones that moved more than 30 m from where they appeared
    int landed = 0;       // seen airborne and later on the ground (not below it)
    int parked = 0;       // engines shut down on the ground, as the program does at a stand
    int removed = 0;      // AI objects removed
    int refused = 0;      // creations refused by the simulator
    int belowGround = 0;  // AI objects seen more than 50 ft below the ground (a fault of the motion)
};

Trace readTrace(std::istream& in);
Summary summarise(const Trace& trace);
// One line per count ("created  3"), and a line on aircraft below the ground when there were any.
std::string summaryText(const Summary& summary);
// An SVG picture of every traced track around the user aircraft (or the traffic's middle when the
// trace has no user position).
std::string svgMap(const Trace& trace, const Summary& summary);

}  // namespace demotrace
