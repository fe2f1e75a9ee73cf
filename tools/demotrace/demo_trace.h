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
    double latitude = 0, longitude = 0; // degrees
    double altitudeFt = 0;
    double aboveGroundFt = 0;
    bool onGround = false;
};

struct TracedObject {
    std::uint32_t id = 0;
    bool user = false;
    bool foreign = false; // present from another client, not created by the program
    bool created = false; // the program asked for it
    bool removed = false; // the program asked for its removal (or the simulator reported it gone)
    std::string atcId, title;
    std::vector<TracePoint> points;
};

struct Trace {
    std::map<std::uint32_t, TracedObject> objects;
    int refused = 0;   // creations the simulator refused
    int lines = 0;     // lines read
    int badLines = 0;  // lines that were not a JSON object with "ev"
};

struct Summary {
    int created = 0; // AI objects the program created
    int moved = 0;   // of those, the ones that moved more than 30 m from where they appeared
    int landed = 0;  // seen airborne and later on the ground
    int parked = 0;  // landed and then standing still on the ground for 30 s or more
    int removed = 0; // AI objects removed
    int refused = 0; // creations refused by the simulator
};

Trace readTrace(std::istream& in);
Summary summarise(const Trace& trace);
// "created 3, moved 2, landed 0, parked 0, removed 1, refused 0" in one line per count.
std::string summaryText(const Summary& summary);
// An SVG picture of every traced track around the user aircraft (or the traffic's middle when the
// trace has no user position).
std::string svgMap(const Trace& trace, const Summary& summary);

} // namespace demotrace
