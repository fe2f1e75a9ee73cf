#include "tools/demotrace/demo_trace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <sstream>
#include <utility>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace demotrace {

namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kMovedMetres = 30.0;
constexpr double kAirborneFt = 20.0;
constexpr double kBelowGroundFt = 50.0;
// An aircraft stands at a stand when it is within the stand's radius and this much more.
constexpr double kStandMarginMetres = 10.0;
// Rolling backwards: the course over the ground and the heading this far apart.
constexpr double kBackwardsDeg = 120.0;
constexpr double kPushbackMetres = 5.0;
constexpr double kTaxiOutMetres = 30.0;
// Steps shorter than this give no reliable course; a step shorter than kStillMetres is standing still.
constexpr double kStepMetres = 0.3;
constexpr double kStillMetres = 1.0;

// East and north offsets in metres of (lat, lon) from (lat0, lon0), flat over a few kilometres.
double eastMetres(double lat0, double lon0, double lat, double lon) {
    return (lon - lon0) * kMetresPerDegree * std::cos((lat0 + lat) / 2 * M_PI / 180.0);
}
double northMetres(double lat0, double lat) { return (lat - lat0) * kMetresPerDegree; }

double metresBetween(double lat0, double lon0, double lat, double lon) {
    return std::hypot(eastMetres(lat0, lon0, lat, lon), northMetres(lat0, lat));
}

double metresBetween(const TracePoint& a, const TracePoint& b) {
    return metresBetween(a.latitude, a.longitude, b.latitude, b.longitude);
}

// Course over the ground from a to b, degrees true.
double courseDeg(const TracePoint& a, const TracePoint& b) {
    const double deg =
        std::atan2(eastMetres(a.latitude, a.longitude, b.latitude, b.longitude), northMetres(a.latitude, b.latitude)) *
        180.0 / M_PI;
    return deg < 0 ? deg + 360 : deg;
}

double degreesApart(double a, double b) { return std::abs(std::remainder(a - b, 360.0)); }

// The heading over a step: the mean of its ends' headings, or the one that is known.
std::optional<double> stepHeading(const TracePoint& a, const TracePoint& b) {
    if (!std::isfinite(a.headingDeg)) return std::isfinite(b.headingDeg) ? std::optional(b.headingDeg) : std::nullopt;
    if (!std::isfinite(b.headingDeg)) return a.headingDeg;
    const double ra = a.headingDeg * M_PI / 180.0, rb = b.headingDeg * M_PI / 180.0;
    return std::atan2(std::sin(ra) + std::sin(rb), std::cos(ra) + std::cos(rb)) * 180.0 / M_PI;
}

// The stand whose circle (plus the margin) holds the position, the nearest one when several do.
const Stand* standAt(const Apron& apron, double latitude, double longitude) {
    const Stand* best = nullptr;
    double bestMetres = 0;
    for (const auto& stand : apron.stands) {
        const double d = metresBetween(stand.latitude, stand.longitude, latitude, longitude);
        if (d <= stand.radiusMetres + kStandMarginMetres && (!best || d < bestMetres)) {
            best = &stand;
            bestMetres = d;
        }
    }
    return best;
}

double number(const nlohmann::json& j, const char* key, double fallback = 0) {
    auto it = j.find(key);
    return (it != j.end() && it->is_number()) ? it->get<double>() : fallback;
}

bool flag(const nlohmann::json& j, const char* key) {
    auto it = j.find(key);
    if (it == j.end()) return false;
    if (it->is_boolean()) return it->get<bool>();
    return it->is_number() && it->get<double>() != 0;
}

std::string text(const nlohmann::json& j, const char* key) {
    auto it = j.find(key);
    return (it != j.end() && it->is_string()) ? it->get<std::string>() : std::string();
}

std::string escapeXml(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

bool belowGround(const Trace& trace, const TracePoint& p) {
    return trace.groundFt && p.altitudeFt < *trace.groundFt - kBelowGroundFt;
}

bool airborne(const TracePoint& p) { return !p.onGround && p.aboveGroundFt > kAirborneFt; }
bool onTheGround(const Trace& trace, const TracePoint& p) { return p.onGround && !belowGround(trace, p); }

// Landed: a point clearly airborne followed by one on the ground (not below it); the index of that
// ground point.
std::optional<std::size_t> landing(const Trace& trace, const TracedObject& o) {
    bool wasAirborne = false;
    for (std::size_t i = 0; i < o.points.size(); ++i) {
        if (airborne(o.points[i]))
            wasAirborne = true;
        else if (wasAirborne && onTheGround(trace, o.points[i]))
            return i;
    }
    return std::nullopt;
}

struct GroundMoves {
    bool pushedBack = false;
    bool taxiedOut = false;
    bool tookOff = false;
};

// Backwards and forwards on the ground, step by step: a push-back rolls with its course opposite
// its heading, the taxi out after it rolls forwards, and a take-off leaves the ground.
GroundMoves groundMoves(const Trace& trace, const TracedObject& o) {
    GroundMoves moves;
    double backwards = 0, forwardsAfterPush = 0;
    bool wasOnGround = false;
    for (std::size_t i = 0; i < o.points.size(); ++i) {
        const TracePoint& b = o.points[i];
        if (airborne(b) && wasOnGround) moves.tookOff = true;
        if (onTheGround(trace, b)) wasOnGround = true;
        if (i == 0) continue;
        const TracePoint& a = o.points[i - 1];
        if (!onTheGround(trace, a) || !onTheGround(trace, b)) continue;
        const double step = metresBetween(a, b);
        const auto heading = stepHeading(a, b);
        if (step < kStepMetres || !heading) continue;
        if (degreesApart(courseDeg(a, b), *heading) > kBackwardsDeg) {
            backwards += step;
            if (backwards >= kPushbackMetres) moves.pushedBack = true;
        } else if (moves.pushedBack) {
            forwardsAfterPush += step;
        }
    }
    moves.taxiedOut = forwardsAfterPush >= kTaxiOutMetres;
    return moves;
}

// After landing: stood still on the ground at a stand, or shut its engines down on the ground.
bool parkedAtStand(const Trace& trace, const TracedObject& o, std::size_t landed, const Apron& apron) {
    if (std::any_of(o.groundShutdowns.begin(), o.groundShutdowns.end(),
                    [landed](std::size_t pointsBefore) { return pointsBefore > landed; }))
        return true;
    for (std::size_t i = landed + 1; i < o.points.size(); ++i) {
        const TracePoint& a = o.points[i - 1];
        const TracePoint& b = o.points[i];
        if (onTheGround(trace, a) && onTheGround(trace, b) && metresBetween(a, b) < kStillMetres &&
            standAt(apron, b.latitude, b.longitude))
            return true;
    }
    return false;
}

bool startedOnGround(const Trace& trace, const TracedObject& o) {
    return o.createdOnGround || (!o.points.empty() && onTheGround(trace, o.points.front()));
}

// Two points of two aircraft are of one moment when they are this close in time (the stand-in samples every
// object in the same frame).
constexpr double kSameMomentMs = 500.0;

// The stand whose circle (without the margin) holds the position, the nearest one when several do.
const Stand* standHolding(const Apron& apron, double latitude, double longitude) {
    const Stand* best = nullptr;
    double bestMetres = 0;
    for (const auto& stand : apron.stands) {
        const double d = metresBetween(stand.latitude, stand.longitude, latitude, longitude);
        if (d <= stand.radiusMetres && (!best || d < bestMetres)) {
            best = &stand;
            bestMetres = d;
        }
    }
    return best;
}

struct StillPoint {
    double tMs = 0;
    double latitude = 0, longitude = 0;
    bool still = false;
    const Stand* stand = nullptr;  // the stand it stands on, when it stands still on one
};

// The object's points in time order, each marked whether the aircraft stands still on the ground there (on the
// ground and less than kStillMetres a second from its previous point; its first point just on the ground), and
// on which stand.
std::vector<StillPoint> stillPoints(const Trace& trace, const TracedObject& o, const Apron& apron) {
    std::vector<TracePoint> points = o.points;
    std::stable_sort(points.begin(), points.end(),
                     [](const TracePoint& a, const TracePoint& b) { return a.tMs < b.tMs; });
    std::vector<StillPoint> out;
    out.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TracePoint& p = points[i];
        bool still = onTheGround(trace, p);
        if (still && i > 0) {
            const double seconds = std::max(1.0, (p.tMs - points[i - 1].tMs) / 1000.0);
            still = metresBetween(points[i - 1], p) < kStillMetres * seconds;
        }
        out.push_back(
            {p.tMs, p.latitude, p.longitude, still, still ? standHolding(apron, p.latitude, p.longitude) : nullptr});
    }
    return out;
}

// The longest time two aircraft stood still together (both on one stand, or closer than closeMetres to each
// other) at the moments both were traced, and where; none when they never did.
std::optional<StandingTogether> standingTogether(const std::vector<StillPoint>& a, const std::vector<StillPoint>& b,
                                                 double closeMetres) {
    std::optional<StandingTogether> longest;
    double since = 0;  // when they began to stand together, while `standing`
    bool standing = false;
    std::size_t j = 0;
    for (const StillPoint& pa : a) {
        while (j < b.size() && b[j].tMs < pa.tMs - kSameMomentMs) ++j;
        std::size_t k = j;
        if (k + 1 < b.size() && std::abs(b[k + 1].tMs - pa.tMs) < std::abs(b[k].tMs - pa.tMs)) ++k;
        const StillPoint* pb = k < b.size() && std::abs(b[k].tMs - pa.tMs) <= kSameMomentMs ? &b[k] : nullptr;
        const Stand* stand = nullptr;
        double metres = 0;
        bool together = false;
        if (pb && pa.still && pb->still) {
            metres = metresBetween(pa.latitude, pa.longitude, pb->latitude, pb->longitude);
            stand = pa.stand == pb->stand ? pa.stand : nullptr;
            together = stand != nullptr || metres < closeMetres;
        }
        if (!together) {
            standing = false;
            continue;
        }
        if (!standing) {
            since = pa.tMs;
            standing = true;
        }
        const double seconds = (pa.tMs - since) / 1000.0;
        if (!longest || seconds > longest->seconds)
            longest = StandingTogether{{}, {}, stand ? stand->name : std::string(), metres, seconds};
    }
    return longest;
}

std::string nameOf(const TracedObject& o) { return o.atcId.empty() ? std::to_string(o.id) : o.atcId; }

// Every pair of created aircraft that stood together for more than kTogetherMs.
void countStandingTogether(const Trace& trace, const Apron& apron, Summary& s) {
    double closeMetres = std::numeric_limits<double>::infinity();
    for (const auto& stand : apron.stands) closeMetres = std::min(closeMetres, stand.radiusMetres);
    std::vector<std::pair<const TracedObject*, std::vector<StillPoint>>> standing;
    for (const auto& [id, o] : trace.objects) {
        if (o.user || !o.created) continue;
        std::vector<StillPoint> points = stillPoints(trace, o, apron);
        if (std::any_of(points.begin(), points.end(), [](const StillPoint& p) { return p.still; }))
            standing.emplace_back(&o, std::move(points));
    }
    for (std::size_t i = 0; i < standing.size(); ++i)
        for (std::size_t k = i + 1; k < standing.size(); ++k) {
            auto pair = standingTogether(standing[i].second, standing[k].second, closeMetres);
            if (!pair || pair->seconds * 1000.0 <= kTogetherMs) continue;
            pair->first = nameOf(*standing[i].first);
            pair->second = nameOf(*standing[k].first);
            s.togetherPairs.push_back(std::move(*pair));
        }
    s.standingTogether = static_cast<int>(s.togetherPairs.size());
}

// The live aircraft that stood still on the ground off every stand for more than kStillOffStandMs while their feed
// took them more than kFeedMovedMetres on. A static aircraft (its callsign marked "*") has no feed; an aircraft that
// stands where its feed has ended, or holds while its feed stands too, is not counted.
void countStandingStill(const Trace& trace, const Apron& apron, const FeedTracks& feed, Summary& s) {
    for (const auto& [id, o] : trace.objects) {
        if (o.user || !o.created || o.atcId.empty() || o.atcId.back() == '*' || !feed.byCallsign.count(o.atcId))
            continue;
        const std::vector<StillPoint> points = stillPoints(trace, o, apron);
        auto stillOff = [&](const StillPoint& p) { return p.still && !standAt(apron, p.latitude, p.longitude); };
        for (std::size_t i = 0; i < points.size();) {
            if (!stillOff(points[i])) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j + 1 < points.size() && stillOff(points[j + 1])) ++j;
            const double fromSec = points[i].tMs / 1000.0;
            const double seconds = (points[j].tMs - points[i].tMs) / 1000.0;
            if (seconds * 1000.0 > kStillOffStandMs) {
                std::optional<FeedPoint> first;
                double farthest = 0;
                for (double t = fromSec; t <= fromSec + seconds; t += 1.0) {
                    const auto at = feed.at(o.atcId, t - kFeedDelaySec);
                    if (!at) continue;
                    if (!first)
                        first = at;
                    else
                        farthest = std::max(
                            farthest, metresBetween(first->latitude, first->longitude, at->latitude, at->longitude));
                }
                if (farthest > kFeedMovedMetres)
                    s.stillOffStand.push_back(
                        {o.atcId, points[i].latitude, points[i].longitude, fromSec, seconds, farthest});
            }
            i = j + 1;
        }
    }
    s.standingStill = static_cast<int>(s.stillOffStand.size());
}

}  // namespace

Trace readTrace(std::istream& in) { return readTrace(in, std::numeric_limits<std::size_t>::max()); }

Trace readTrace(std::istream& in, std::size_t maxLines) {
    Trace trace;
    std::string line;
    for (std::size_t n = 0; n < maxLines && std::getline(in, line); ++n) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        ++trace.lines;
        nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object() || !j.contains("ev") || !j["ev"].is_string()) {
            ++trace.badLines;
            continue;
        }
        const std::string ev = j["ev"].get<std::string>();
        if (ev == "refused") {
            ++trace.refused;
            continue;
        }
        if (ev == "clock") {
            const double utcMs = number(j, "utcMs", NAN);
            if (std::isfinite(utcMs) && utcMs >= 0 && !trace.startUtcMs) trace.startUtcMs = utcMs;
            continue;
        }
        if (!j.contains("id") || !j["id"].is_number_unsigned()) continue;
        const auto id = j["id"].get<std::uint32_t>();
        TracedObject& o = trace.objects[id];
        o.id = id;
        if (const auto atc = text(j, "atcId"); !atc.empty()) o.atcId = atc;
        if (const auto title = text(j, "title"); !title.empty()) o.title = title;
        if (ev == "create") {
            if (flag(j, "foreign"))
                o.foreign = true;
            else
                o.created = true;
            o.createdOnGround = flag(j, "onGround");
            if (const double t = number(j, "t", NAN); std::isfinite(t)) o.createdMs = t;
            const double lat = number(j, "lat", NAN), lon = number(j, "lon", NAN);
            if (std::isfinite(lat) && std::isfinite(lon) && std::abs(lat) <= 90 && std::abs(lon) <= 180) {
                o.createdLatitude = lat;
                o.createdLongitude = lon;
            }
        } else if (ev == "event") {
            // The program shuts the engines down when an aircraft reaches its stand or is created there.
            if (text(j, "event") == "ENGINE_AUTO_SHUTDOWN" &&
                (o.points.empty() ? o.createdOnGround : o.points.back().onGround)) {
                o.parked = true;
                o.groundShutdowns.push_back(o.points.size());
            }
        } else if (ev == "remove" || ev == "removed") {
            o.removed = true;
            if (const double t = number(j, "t", NAN); std::isfinite(t) && !o.removeMs) o.removeMs = t;
        } else if (ev == "position") {
            if (flag(j, "user")) o.user = true;
            TracePoint p;
            p.tMs = number(j, "t");
            p.latitude = number(j, "lat");
            p.longitude = number(j, "lon");
            p.altitudeFt = number(j, "altFt");
            p.aboveGroundFt = number(j, "aglFt");
            p.onGround = flag(j, "onGround");
            p.headingDeg = number(j, "headingDeg", NAN);
            if (std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::abs(p.latitude) <= 90 &&
                std::abs(p.longitude) <= 180) {
                if (!trace.groundFt && p.aboveGroundFt > 0) trace.groundFt = p.altitudeFt - p.aboveGroundFt;
                o.points.push_back(p);
            }
        }
    }
    return trace;
}

Summary summarise(const Trace& trace, const Apron& apron, const FeedTracks& feed) {
    Summary s;
    s.refused = trace.refused;
    s.withStands = !apron.stands.empty();
    for (const auto& entry : trace.objects) {
        const TracedObject& o = entry.second;
        if (o.user || !o.created) continue;
        ++s.created;
        if (o.removed) ++s.removed;
        const bool moved = std::any_of(o.points.begin(), o.points.end(), [&o](const TracePoint& p) {
            return metresBetween(o.points.front(), p) > kMovedMetres;
        });
        if (moved) ++s.moved;
        const auto landed = landing(trace, o);
        if (landed) ++s.landed;
        if (o.parked) ++s.parked;
        if (std::any_of(o.points.begin(), o.points.end(), [&](const TracePoint& p) { return belowGround(trace, p); }))
            ++s.belowGround;
        if (!s.withStands) continue;

        const GroundMoves moves = groundMoves(trace, o);
        s.pushedBack += moves.pushedBack;
        s.taxiedOut += moves.taxiedOut;
        s.tookOff += moves.tookOff;
        if (landed && parkedAtStand(trace, o, *landed, apron)) ++s.parkedAtStand;
        if (!startedOnGround(trace, o)) continue;
        const TracePoint* first = o.points.empty() ? nullptr : &o.points.front();
        if (!o.createdLatitude && !first) continue;
        const double lat = o.createdLatitude ? *o.createdLatitude : first->latitude;
        const double lon = o.createdLongitude ? *o.createdLongitude : first->longitude;
        if (!standAt(apron, lat, lon)) continue;
        ++s.atStands;
        const bool starred = !o.atcId.empty() && o.atcId.back() == '*';
        if (!starred)
            ++s.atStandsDeparting;
        else if (apron.feedParked.count(o.atcId.substr(0, o.atcId.size() - 1)))
            ++s.atStandsFeedParked;
        else
            ++s.atStandsStatic;
    }
    if (s.withStands) countStandingTogether(trace, apron, s);
    s.withFeed = !feed.empty();
    if (s.withFeed) countStandingStill(trace, apron, feed, s);
    return s;
}

Closing summariseClosing(const Trace& run, const Trace& whole) {
    Closing c;
    const auto programs = [](const TracedObject& o) { return !o.user && !o.foreign && o.created; };
    for (const auto& [id, o] : whole.objects) {
        if (!programs(o)) continue;
        const auto before = run.objects.find(id);
        const bool inBefore = before != run.objects.end() && programs(before->second) && !before->second.removed;
        if (inBefore) ++c.inSimulator;
        if (inBefore && o.removed) ++c.removed;
        if (!o.removed) ++c.left;
    }
    return c;
}

std::string closingText(const Closing& c) {
    return fmt::format("closing          {} in the simulator, {} removed, {} left in it\n", c.inSimulator, c.removed,
                       c.left);
}

std::string summaryText(const Summary& s) {
    std::string text = fmt::format("created  {}\nmoved    {}\nlanded   {}\nparked   {}\nremoved  {}\nrefused  {}\n",
                                   s.created, s.moved, s.landed, s.parked, s.removed, s.refused);
    if (s.withStands) {
        text += fmt::format("at stands        {} (static {}, feed-parked {}, departing {})\n"
                            "pushed back      {}\ntaxied out       {}\ntook off         {}\nparked at stand  {}\n"
                            "stood together   {}\n",
                            s.atStands, s.atStandsStatic, s.atStandsFeedParked, s.atStandsDeparting, s.pushedBack,
                            s.taxiedOut, s.tookOff, s.parkedAtStand, s.standingTogether);
        for (std::size_t i = 0; i < s.togetherPairs.size() && i < kTogetherLines; ++i) {
            const StandingTogether& p = s.togetherPairs[i];
            text += fmt::format("  {} and {} {} for {:.0f} s\n", p.first, p.second,
                                p.stand.empty() ? fmt::format("{:.0f} m apart", p.metres) : "on stand " + p.stand,
                                p.seconds);
        }
        if (s.togetherPairs.size() > kTogetherLines)
            text += fmt::format("  (and {} more)\n", s.togetherPairs.size() - kTogetherLines);
    }
    if (s.withFeed) {
        text += fmt::format("stood still off a stand  {}\n", s.standingStill);
        for (std::size_t i = 0; i < s.stillOffStand.size() && i < kTogetherLines; ++i) {
            const StandingStill& p = s.stillOffStand[i];
            text += fmt::format("  {} at {:.5f},{:.5f} for {:.0f} s from {:.0f} s, while its feed moved {:.0f} m\n",
                                p.callsign, p.latitude, p.longitude, p.seconds, p.fromSec, p.feedMetres);
        }
        if (s.stillOffStand.size() > kTogetherLines)
            text += fmt::format("  (and {} more)\n", s.stillOffStand.size() - kTogetherLines);
    }
    if (s.belowGround > 0)
        text += fmt::format("({} aircraft went more than {:.0f} ft below the ground)\n", s.belowGround, kBelowGroundFt);
    return text;
}

namespace {

// One colour per traced aircraft (not the user), the same in both panels.
std::map<std::uint32_t, const char*> trackColours(const Trace& trace) {
    static const char* palette[] = {"#ff6b6b", "#ffd93d", "#6bcb77", "#4d96ff", "#c77dff", "#ff9f1c",
                                    "#2ec4b6", "#f15bb5", "#9ef01a", "#00bbf9", "#fee440", "#e76f51"};
    std::map<std::uint32_t, const char*> colours;
    std::size_t n = 0;
    for (const auto& entry : trace.objects)
        if (!entry.second.user && !entry.second.points.empty())
            colours[entry.first] = palette[n++ % (sizeof palette / sizeof *palette)];
    return colours;
}

// The airport at apron scale in the square panel at (left, 0): every stand as a circle of its
// radius with its name, filled when an aircraft stands on it at the end of the trace; the ground
// tracks; where every aircraft ended, with its callsign; the user aircraft.
void drawApron(std::ostringstream& svg, const Trace& trace, const Apron& apron,
               const std::map<std::uint32_t, const char*>& colours, double left, double size) {
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    for (const auto& stand : apron.stands) {
        minLat = std::min(minLat, stand.latitude);
        maxLat = std::max(maxLat, stand.latitude);
        minLon = std::min(minLon, stand.longitude);
        maxLon = std::max(maxLon, stand.longitude);
    }
    const double lat0 = (minLat + maxLat) / 2, lon0 = (minLon + maxLon) / 2;
    constexpr double marginMetres = 250, leastHalfMetres = 500;
    const double half =
        std::max({eastMetres(lat0, lon0, lat0, maxLon), northMetres(lat0, maxLat), leastHalfMetres}) + marginMetres;
    const double k = size / 2 / half;  // pixels per metre
    auto px = [&](double lat, double lon) { return left + size / 2 + eastMetres(lat0, lon0, lat, lon) * k; };
    auto py = [&](double lat) { return size / 2 - northMetres(lat0, lat) * k; };
    // Far-away points are left out rather than drawn at huge coordinates; the clip does the rest.
    auto near = [&](const TracePoint& p) {
        return std::abs(eastMetres(lat0, lon0, p.latitude, p.longitude)) <= 2 * half &&
               std::abs(northMetres(lat0, p.latitude)) <= 2 * half;
    };

    svg << fmt::format(R"(<clipPath id="apron"><rect x="{0:.1f}" y="0" width="{1:.1f}" height="{1:.1f}"/></clipPath>)"
                       R"(<rect x="{0:.1f}" y="0" width="{1:.1f}" height="{1:.1f}" fill="#101c24" stroke="#9fb8d0"/>)"
                       "\n<g clip-path=\"url(#apron)\">\n",
                       left, size);

    // Stands taken at the end: by every aircraft still there whose last point is on the ground.
    std::set<const Stand*> occupied;
    for (const auto& entry : trace.objects) {
        const TracedObject& o = entry.second;
        if (o.removed || o.points.empty() || !o.points.back().onGround) continue;
        if (const Stand* stand = standAt(apron, o.points.back().latitude, o.points.back().longitude))
            occupied.insert(stand);
    }
    for (const auto& stand : apron.stands) {
        const double x = px(stand.latitude, stand.longitude), y = py(stand.latitude);
        const double r = std::max(stand.radiusMetres * k, 1.5);
        const bool taken = occupied.count(&stand) > 0;
        svg << fmt::format(R"(<circle cx="{:.1f}" cy="{:.1f}" r="{:.1f}" fill="{}" stroke="{}" stroke-width="1">)"
                           "<title>stand {} ({:.0f} m){}</title></circle>\n",
                           x, y, r, taken ? "#6b4a1c" : "none", taken ? "#ffb347" : "#4f7396", escapeXml(stand.name),
                           stand.radiusMetres, taken ? ", taken" : "");
        const double h = stand.headingDeg * M_PI / 180.0;
        svg << fmt::format(R"(<path d="M {:.1f} {:.1f} l {:.1f} {:.1f}" stroke="#4f7396" stroke-width="1"/>)"
                           "\n",
                           x, y, std::sin(h) * r, -std::cos(h) * r);
        svg << fmt::format(R"(<text x="{:.1f}" y="{:.1f}" fill="#7f9bb5" font-size="7" text-anchor="middle">{}</text>)"
                           "\n",
                           x, y - r - 2, escapeXml(stand.name));
    }

    for (const auto& [id, o] : trace.objects) {
        if (o.user || o.points.empty()) continue;
        const char* colour = colours.at(id);
        std::string d;
        bool drawing = false;
        for (const auto& p : o.points) {
            if (!p.onGround || !near(p)) {
                drawing = false;
                continue;
            }
            d += fmt::format("{}{:.1f} {:.1f} ", drawing ? "L " : "M ", px(p.latitude, p.longitude), py(p.latitude));
            drawing = true;
        }
        if (!d.empty())
            svg << fmt::format(R"(<path d="{}" fill="none" stroke="{}" stroke-width="1.5" stroke-linejoin="round">)"
                               "<title>{}</title></path>\n",
                               d, colour, escapeXml(o.atcId + " " + o.title));
        const TracePoint& last = o.points.back();
        if (!near(last)) continue;
        const double x = px(last.latitude, last.longitude), y = py(last.latitude);
        svg << fmt::format(R"(<circle cx="{:.1f}" cy="{:.1f}" r="3" fill="{}" stroke="{}"/>)"
                           "\n",
                           x, y, o.removed ? "none" : colour, colour);
        svg << fmt::format(R"(<text x="{:.1f}" y="{:.1f}" fill="{}" font-size="9">{}{}</text>)"
                           "\n",
                           x + 5, y + 3, colour, escapeXml(o.atcId.empty() ? std::to_string(id) : o.atcId),
                           o.removed ? " (removed)" : "");
    }
    for (const auto& entry : trace.objects) {
        const TracedObject& o = entry.second;
        if (!o.user || o.points.empty() || !near(o.points.back())) continue;
        const double x = px(o.points.back().latitude, o.points.back().longitude), y = py(o.points.back().latitude);
        svg << fmt::format(R"(<rect x="{:.1f}" y="{:.1f}" width="8" height="8" fill="#ffffff"/>)"
                           R"(<text x="{:.1f}" y="{:.1f}" fill="#ffffff" font-size="10">user aircraft</text>)"
                           "\n",
                           x - 4, y - 4, x + 7, y + 14);
        break;
    }
    svg << "</g>\n";

    svg << fmt::format(
        R"(<text x="{:.1f}" y="20" fill="#ffffff" font-size="14">{}: {} stands, {} taken at the end</text>)"
        "\n",
        left + 12, escapeXml(apron.airportName.empty() ? std::string("Airport") : apron.airportName),
        apron.stands.size(), occupied.size());
    const double barMetres = 500;
    svg << fmt::format(R"(<path d="M {0:.1f} {1:.1f} h {2:.1f}" stroke="#ffffff" stroke-width="2"/>)"
                       R"(<text x="{0:.1f}" y="{3:.1f}" fill="#ffffff">{4:.0f} m</text>)"
                       "\n",
                       left + 20, size - 20, barMetres * k, size - 26, barMetres);
}

}  // namespace

std::string svgMap(const Trace& trace, const Summary& summary, const Apron& apron) {
    constexpr double size = 900, margin = 40;
    const double width = apron.stands.empty() ? size : 2 * size;
    // Centre: the user aircraft's first position, else the middle of every traced point.
    std::optional<TracePoint> centre;
    double minLat = 1e9, maxLat = -1e9, minLon = 1e9, maxLon = -1e9;
    for (const auto& [id, o] : trace.objects) {
        for (const auto& p : o.points) {
            if (o.user && !centre) centre = p;
            minLat = std::min(minLat, p.latitude);
            maxLat = std::max(maxLat, p.latitude);
            minLon = std::min(minLon, p.longitude);
            maxLon = std::max(maxLon, p.longitude);
        }
    }
    if (!centre) {
        TracePoint c;
        c.latitude = minLat <= maxLat ? (minLat + maxLat) / 2 : 0;
        c.longitude = minLon <= maxLon ? (minLon + maxLon) / 2 : 0;
        centre = c;
    }
    const double cosLat = std::cos(centre->latitude * M_PI / 180.0);
    auto east = [&](const TracePoint& p) { return (p.longitude - centre->longitude) * kMetresPerDegree * cosLat; };
    auto north = [&](const TracePoint& p) { return (p.latitude - centre->latitude) * kMetresPerDegree; };
    double halfMetres = 2 * kMetresPerNm;
    for (const auto& [id, o] : trace.objects)
        for (const auto& p : o.points) halfMetres = std::max({halfMetres, std::abs(east(p)), std::abs(north(p))});
    halfMetres *= 1.05;
    const double scale = (size / 2 - margin) / halfMetres;

    std::ostringstream svg;
    svg << fmt::format(R"(<svg xmlns="http://www.w3.org/2000/svg" width="{0}" height="{1}" viewBox="0 0 {0} {1}" )"
                       R"(font-family="sans-serif" font-size="12">)"
                       "\n",
                       width, size);
    svg << fmt::format(R"(<rect width="{0}" height="{0}" fill="#0b1a2a"/>)"
                       "\n",
                       size);
    // Range rings every 5 or 10 nm around the centre.
    const double halfNm = halfMetres / kMetresPerNm;
    const double ringNm = halfNm > 30 ? 10 : (halfNm > 8 ? 5 : 1);
    for (double r = ringNm; r <= halfNm * 1.42; r += ringNm) {
        svg << fmt::format(
            R"(<circle cx="{:.1f}" cy="{:.1f}" r="{:.1f}" fill="none" stroke="#24405e" stroke-width="1"/>)"
            "\n",
            size / 2, size / 2, r * kMetresPerNm * scale);
        svg << fmt::format(R"(<text x="{:.1f}" y="{:.1f}" fill="#5b7fa3">{} nm</text>)"
                           "\n",
                           size / 2 + 3, size / 2 - r * kMetresPerNm * scale - 3, r);
    }
    svg << fmt::format(R"(<text x="{0:.1f}" y="24" fill="#9fb8d0" text-anchor="middle">N</text>)"
                       R"(<path d="M {0:.1f} 28 l -6 14 l 6 -4 l 6 4 z" fill="#9fb8d0"/>)"
                       "\n",
                       size - 30);

    const auto colours = trackColours(trace);
    // The tracks drawn into a square viewport at (left, top) of `width` pixels showing `half` metres
    // each way from the centre; aircraft that end within `quiet` metres of the centre get no label
    // (the close-up names them).
    auto drawTracks = [&](double left, double top, double width, double half, double quiet, int fontSize) {
        const double k = width / 2 / half;
        auto px = [&](const TracePoint& p) { return left + width / 2 + east(p) * k; };
        auto py = [&](const TracePoint& p) { return top + width / 2 - north(p) * k; };
        for (const auto& [id, o] : trace.objects) {
            if (o.user || o.points.empty()) continue;
            const char* colour = colours.at(id);
            // Only the parts inside the viewport are drawn (the path is broken where it leaves it).
            auto inside = [&](const TracePoint& p) { return std::abs(east(p)) <= half && std::abs(north(p)) <= half; };
            std::string d;
            bool drawing = false;
            for (const auto& p : o.points) {
                if (!inside(p)) {
                    drawing = false;
                    continue;
                }
                d += fmt::format("{}{:.1f} {:.1f} ", drawing ? "L " : "M ", px(p), py(p));
                drawing = true;
            }
            if (d.empty()) continue;
            svg << fmt::format(R"(<path d="{}" fill="none" stroke="{}" stroke-width="2" stroke-linejoin="round">)"
                               "<title>{}</title></path>\n",
                               d, colour, escapeXml(o.atcId + " " + o.title));
            const auto& first = o.points.front();
            const auto& last = o.points.back();
            if (inside(first))
                svg << fmt::format(R"(<circle cx="{:.1f}" cy="{:.1f}" r="3" fill="none" stroke="{}"/>)"
                                   "\n",
                                   px(first), py(first), colour);
            if (!inside(last)) continue;
            svg << fmt::format(R"(<circle cx="{:.1f}" cy="{:.1f}" r="4" fill="{}"/>)"
                               "\n",
                               px(last), py(last), colour);
            if (std::abs(east(last)) > quiet || std::abs(north(last)) > quiet)
                svg << fmt::format(R"(<text x="{:.1f}" y="{:.1f}" fill="{}" font-size="{}">{} {}</text>)"
                                   "\n",
                                   px(last) + 6, py(last) - 6, colour, fontSize,
                                   escapeXml(o.atcId.empty() ? std::to_string(id) : o.atcId),
                                   last.onGround ? std::string("gnd") : fmt::format("{:.0f} ft", last.altitudeFt));
        }
        svg << fmt::format(R"(<rect x="{:.1f}" y="{:.1f}" width="8" height="8" fill="#ffffff"/>)"
                           "\n",
                           left + width / 2 - 4, top + width / 2 - 4);
    };
    // The airport close up, when the whole map is too large to show it.
    constexpr double insetNm = 3, inset = 300;
    const bool closeUp = halfMetres > 3 * insetNm * kMetresPerNm;
    drawTracks(0, 0, size, halfMetres, closeUp ? insetNm * kMetresPerNm : -1, 12);
    svg << fmt::format(R"(<text x="{:.1f}" y="{:.1f}" fill="#ffffff">user aircraft</text>)"
                       "\n",
                       size / 2 + 8, size / 2 + 16);
    if (closeUp) {
        const double left = size - inset - 10, top = size - inset - 10;
        svg << fmt::format(R"(<rect x="{0:.1f}" y="{1:.1f}" width="{2:.1f}" height="{2:.1f}" )"
                           R"(fill="#071320" stroke="#9fb8d0"/>)"
                           "\n",
                           left, top, inset);
        drawTracks(left, top, inset, insetNm * kMetresPerNm, -1, 10);
        svg << fmt::format(R"(<text x="{:.1f}" y="{:.1f}" fill="#9fb8d0">{} nm around the user aircraft</text>)"
                           "\n",
                           left + 6, top + 16, insetNm);
    }
    svg << fmt::format(R"(<text x="12" y="20" fill="#ffffff" font-size="14">Traced aircraft: {} created, {} moved, )"
                       R"({} landed, {} parked, {} removed, {} refused</text>)"
                       "\n",
                       summary.created, summary.moved, summary.landed, summary.parked, summary.removed,
                       summary.refused);
    // Scale bar of one ring spacing.
    const double bar = ringNm * kMetresPerNm * scale;
    svg << fmt::format(R"(<path d="M 20 {0:.1f} h {1:.1f}" stroke="#ffffff" stroke-width="2"/>)"
                       R"(<text x="20" y="{2:.1f}" fill="#ffffff">{3} nm</text>)"
                       "\n",
                       size - 20, bar, size - 26, ringNm);
    if (!apron.stands.empty()) drawApron(svg, trace, apron, colours, size, size);
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace demotrace
