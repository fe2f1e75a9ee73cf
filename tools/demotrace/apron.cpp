#include "tools/demotrace/apron.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

namespace demotrace {

namespace {

// The whole attribute as a finite number; none when it is missing, empty or has trailing text.
std::optional<double> number(const pugi::xml_node& node, const char* name) {
    const char* text = node.attribute(name).value();
    if (*text == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The largest stand radius taken as real: beyond it the file is wrong, not the aircraft large.
constexpr double kMaxRadiusMetres = 500;

}  // namespace

void readStands(std::istream& in, Apron& apron) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed) throw std::runtime_error(fmt::format("not XML ({} at byte {})", parsed.description(), parsed.offset));
    for (const auto& parameter : doc.child("parameters").children("parameter"))
        if (std::string(parameter.attribute("name").value()) == "airport_name")
            apron.airportName = parameter.attribute("value").value();
    std::vector<Stand> stands;
    for (const auto& list : doc.children("parkpositions")) {
        for (const auto& pos : list.children("parkpos")) {
            Stand stand;
            stand.name = pos.attribute("id").value();
            const auto latitude = number(pos, "latitude");
            const auto longitude = number(pos, "longitude");
            const auto radius = number(pos, "radius");
            if (!latitude || !longitude || std::abs(*latitude) > 90 || std::abs(*longitude) > 180)
                throw std::runtime_error(fmt::format("stand \"{}\" has no valid latitude and longitude", stand.name));
            if (!radius || *radius <= 0 || *radius > kMaxRadiusMetres)
                throw std::runtime_error(fmt::format("stand \"{}\" has no valid radius", stand.name));
            stand.latitude = *latitude;
            stand.longitude = *longitude;
            stand.radiusMetres = *radius;
            stand.headingDeg = number(pos, "heading").value_or(0);
            stands.push_back(std::move(stand));
        }
    }
    if (stands.empty()) throw std::runtime_error("no <parkpos> in <parkpositions>");
    apron.stands = std::move(stands);
}

void readFeedParked(std::istream& in, Apron& apron) {
    const nlohmann::json scenario = nlohmann::json::parse(in, nullptr, false);
    if (scenario.is_discarded() || !scenario.is_object()) throw std::runtime_error("not a JSON object");
    const auto parked = scenario.find("parked");
    if (parked == scenario.end()) return;
    if (!parked->is_array()) throw std::runtime_error("\"parked\" is not a list");
    for (const auto& entry : *parked) {
        if (!entry.is_object()) continue;
        const auto callsign = entry.find("callsign");
        if (callsign != entry.end() && callsign->is_string() && !callsign->get<std::string>().empty())
            apron.feedParked.insert(callsign->get<std::string>());
    }
}

}  // namespace demotrace
