#include "tools/demotrace/demo_trace.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace demotrace {

namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kMovedMetres = 30.0;
constexpr double kAirborneFt = 20.0;
constexpr double kBelowGroundFt = 50.0;

double metresBetween(const TracePoint& a, const TracePoint& b) {
    const double midLat = (a.latitude + b.latitude) / 2 * M_PI / 180.0;
    const double dx = (b.longitude - a.longitude) * kMetresPerDegree * std::cos(midLat);
    const double dy = (b.latitude - a.latitude) * kMetresPerDegree;
    return std::hypot(dx, dy);
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

// Landed: a point clearly airborne followed by one on the ground (not below it).
bool hasLanded(const Trace& trace, const TracedObject& o) {
    bool airborne = false;
    for (const auto& p : o.points) {
        if (!p.onGround && p.aboveGroundFt > kAirborneFt)
            airborne = true;
        else if (airborne && p.onGround && !belowGround(trace, p))
            return true;
    }
    return false;
}

}  // namespace

Trace readTrace(std::istream& in) {
    Trace trace;
    std::string line;
    while (std::getline(in, line)) {
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
        } else if (ev == "event") {
            // The program shuts the engines down when an aircraft reaches its stand or is created there.
            if (text(j, "event") == "ENGINE_AUTO_SHUTDOWN" &&
                (o.points.empty() ? o.createdOnGround : o.points.back().onGround))
                o.parked = true;
        } else if (ev == "remove" || ev == "removed") {
            o.removed = true;
        } else if (ev == "position") {
            if (flag(j, "user")) o.user = true;
            TracePoint p;
            p.tMs = number(j, "t");
            p.latitude = number(j, "lat");
            p.longitude = number(j, "lon");
            p.altitudeFt = number(j, "altFt");
            p.aboveGroundFt = number(j, "aglFt");
            p.onGround = flag(j, "onGround");
            if (std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::abs(p.latitude) <= 90 &&
                std::abs(p.longitude) <= 180) {
                if (!trace.groundFt && p.aboveGroundFt > 0) trace.groundFt = p.altitudeFt - p.aboveGroundFt;
                o.points.push_back(p);
            }
        }
    }
    return trace;
}

Summary summarise(const Trace& trace) {
    Summary s;
    s.refused = trace.refused;
    for (const auto& [id, o] : trace.objects) {
        if (o.user || !o.created) continue;
        ++s.created;
        if (o.removed) ++s.removed;
        const bool moved = std::any_of(o.points.begin(), o.points.end(), [&](const TracePoint& p) {
            return metresBetween(o.points.front(), p) > kMovedMetres;
        });
        if (moved) ++s.moved;
        if (hasLanded(trace, o)) ++s.landed;
        if (o.parked) ++s.parked;
        if (std::any_of(o.points.begin(), o.points.end(), [&](const TracePoint& p) { return belowGround(trace, p); }))
            ++s.belowGround;
    }
    return s;
}

std::string summaryText(const Summary& s) {
    std::string text = fmt::format("created  {}\nmoved    {}\nlanded   {}\nparked   {}\nremoved  {}\nrefused  {}\n",
                                   s.created, s.moved, s.landed, s.parked, s.removed, s.refused);
    if (s.belowGround > 0)
        text += fmt::format("({} aircraft went more than {:.0f} ft below the ground)\n", s.belowGround, kBelowGroundFt);
    return text;
}

std::string svgMap(const Trace& trace, const Summary& summary) {
    constexpr double size = 900, margin = 40;
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
    svg << fmt::format(R"(<svg xmlns="http://www.w3.org/2000/svg" width="{0}" height="{0}" viewBox="0 0 {0} {0}" )"
                       R"(font-family="sans-serif" font-size="12">)"
                       "\n",
                       size);
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

    static const char* colours[] = {"#ff6b6b", "#ffd93d", "#6bcb77", "#4d96ff", "#c77dff", "#ff9f1c",
                                    "#2ec4b6", "#f15bb5", "#9ef01a", "#00bbf9", "#fee440", "#e76f51"};
    // The tracks drawn into a square viewport at (left, top) of `width` pixels showing `half` metres
    // each way from the centre; aircraft that end within `quiet` metres of the centre get no label
    // (the close-up names them).
    auto drawTracks = [&](double left, double top, double width, double half, double quiet, int fontSize) {
        const double k = width / 2 / half;
        auto px = [&](const TracePoint& p) { return left + width / 2 + east(p) * k; };
        auto py = [&](const TracePoint& p) { return top + width / 2 - north(p) * k; };
        int n = 0;
        for (const auto& [id, o] : trace.objects) {
            if (o.user || o.points.empty()) continue;
            const char* colour = colours[n++ % (sizeof colours / sizeof *colours)];
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
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace demotrace
