#pragma once
// The live aircraft of the feed scenario (demo/traffic.json): where the stand-in service reports each
// callsign at a moment of its play, as it plays them (linear between points, again from the start after
// the loop), so that the trace's aircraft can be held against their feed.
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace demotrace {

struct FeedPoint {
    double tSec = 0;  // seconds of the service's play
    double latitude = 0, longitude = 0;
};

struct FeedTracks {
    std::map<std::string, std::vector<FeedPoint>> byCallsign;  // points in time order
    // The play starts again after this many seconds (the longest track, or "loopSec" when longer);
    // 0: it plays once.
    double loopSec = 0;

    bool empty() const { return byCallsign.empty(); }
    // Where the service reports the callsign at that second of its play; none when it does not report it
    // then (before its first point, after its last, or no such track).
    std::optional<FeedPoint> at(const std::string& callsign, double playSec) const;
};

// The tracks of the feed scenario. Throws std::runtime_error saying what is wrong when the text is no JSON
// object, "tracks" is not a list, or a track's points are not in time order.
void readFeedTracks(std::istream& in, FeedTracks& tracks);

}  // namespace demotrace
