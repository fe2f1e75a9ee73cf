#include "tools/demotrace/feed_tracks.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace demotrace {

namespace {

double number(const nlohmann::json& j, const char* key, double fallback = 0) {
    auto it = j.find(key);
    return (it != j.end() && it->is_number()) ? it->get<double>() : fallback;
}

}  // namespace

std::optional<FeedPoint> FeedTracks::at(const std::string& callsign, double playSec) const {
    auto found = byCallsign.find(callsign);
    if (found == byCallsign.end() || found->second.empty() || !std::isfinite(playSec)) return std::nullopt;
    if (loopSec > 0) playSec = std::fmod(playSec, loopSec);
    const std::vector<FeedPoint>& points = found->second;
    if (playSec < points.front().tSec || playSec > points.back().tSec) return std::nullopt;
    auto after = std::upper_bound(points.begin(), points.end(), playSec,
                                  [](double t, const FeedPoint& p) { return t < p.tSec; });
    if (after == points.end()) return points.back();
    const FeedPoint& b = *after;
    const FeedPoint& a = *std::prev(after);
    const double f = b.tSec > a.tSec ? (playSec - a.tSec) / (b.tSec - a.tSec) : 0.0;
    return FeedPoint{playSec, a.latitude + (b.latitude - a.latitude) * f,
                     a.longitude + (b.longitude - a.longitude) * f};
}

void readFeedTracks(std::istream& in, FeedTracks& tracks) {
    const nlohmann::json scenario = nlohmann::json::parse(in, nullptr, false);
    if (scenario.is_discarded() || !scenario.is_object()) throw std::runtime_error("not a JSON object");
    FeedTracks read;
    double longest = 0;
    const auto list = scenario.find("tracks");
    if (list != scenario.end()) {
        if (!list->is_array()) throw std::runtime_error("\"tracks\" is not a list");
        for (const auto& track : *list) {
            if (!track.is_object()) continue;
            const auto points = track.find("points");
            if (points == track.end() || !points->is_array()) continue;
            const auto callsign = track.find("callsign");
            const std::string name =
                callsign != track.end() && callsign->is_string() ? callsign->get<std::string>() : "";
            std::vector<FeedPoint> feed;
            for (const auto& p : *points) {
                if (!p.is_object()) continue;
                const FeedPoint point{number(p, "t"), number(p, "lat"), number(p, "lon")};
                if (!feed.empty() && point.tSec < feed.back().tSec)
                    throw std::runtime_error(fmt::format("the points of track \"{}\" are not in time order", name));
                feed.push_back(point);
            }
            // Every track counts for the loop, also one that no callsign names.
            if (feed.empty()) continue;
            longest = std::max(longest, feed.back().tSec);
            if (!name.empty()) read.byCallsign[name] = std::move(feed);
        }
    }
    const auto loop = scenario.find("loop");
    const bool loops = loop == scenario.end() || !loop->is_boolean() || loop->get<bool>();
    read.loopSec = loops ? std::max(longest, number(scenario, "loopSec")) : 0.0;
    tracks = std::move(read);
}

}  // namespace demotrace
