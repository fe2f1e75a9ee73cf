#pragma once
// The airport side of the demo's trace summary: the stands of the park airport's parking file and
// the aircraft the feed scenario reports parked, read from the files scripts/demo uses.
#include <istream>
#include <set>
#include <string>
#include <vector>

namespace demotrace {

// A parking position of the airport file: radius in metres, heading true in degrees.
struct Stand {
    std::string name;
    double latitude = 0, longitude = 0;
    double headingDeg = 0;
    double radiusMetres = 0;
};

// What the apron counts and the airport panel of the map need: the stands and the callsigns the
// feed scenario reports parked. No stands: no apron counts and no panel.
struct Apron {
    std::string airportName;
    std::vector<Stand> stands;
    std::set<std::string> feedParked;
};

// The stands of an airport file (<parkpositions><parkpos id= latitude= longitude= heading= radius=>,
// several top-level elements). Throws std::runtime_error saying what is wrong when the text is no
// such file: not XML, no stand, or a stand without a valid position or radius.
void readStands(std::istream& in, Apron& apron);
// The callsigns of the feed scenario's "parked" list. Throws std::runtime_error when the text is no
// JSON object or "parked" is not a list.
void readFeedParked(std::istream& in, Apron& apron);

}  // namespace demotrace
