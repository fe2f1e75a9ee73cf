// The stand names at a position, for every thread: a copy of the stands' names and positions taken
// on the run thread when currentStands changes, read under its own lock.
#include <mutex>
#include <string>
#include <vector>

#include "airports/parking.h"
#include "airports/stands.h"
#include "foundation/geodesy.h"
#include "shell/run_flags.h"

namespace {

struct StandPlace {
    std::string name;
    double latitude;
    double longitude;
};

constexpr double kNm55m = 0.029697624190064796;

std::mutex placesMutex;
std::vector<StandPlace> places;
// The last position asked for and its answer.
bool lastValid = false;
double lastLatitude = 0.0;
double lastLongitude = 0.0;
std::string lastName;

}  // namespace

void gf_publishStandPlaces() {
    std::vector<StandPlace> fresh;
    fresh.reserve(currentStands.size());
    for (const auto& s : currentStands) fresh.push_back({s.name, s.latitude, s.longitude});
    std::lock_guard lock(placesMutex);
    places.swap(fresh);
    lastValid = false;
    lastName.clear();
}

std::string gf_standNameAt(double latitude, double longitude) {
    // Only an aircraft on the ground stands on a stand: the user hovering or flying over one names none.
    if (userOnGround.load() == 0) return {};
    std::lock_guard lock(placesMutex);
    if (places.empty()) return {};
    if (lastValid && latitude == lastLatitude && longitude == lastLongitude) return lastName;
    const LatLon at{latitude, longitude};
    double best = 900.0;
    const StandPlace* nearest = nullptr;
    for (const auto& p : places) {
        const double r = gf_distanceNm(at, LatLon{p.latitude, p.longitude});
        if (r <= kNm55m && r < best) {
            best = r;
            nearest = &p;
        }
    }
    lastValid = true;
    lastLatitude = latitude;
    lastLongitude = longitude;
    lastName = nearest ? nearest->name : std::string();
    return lastName;
}
