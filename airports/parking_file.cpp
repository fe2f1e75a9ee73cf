#include "airports/parking_file.h"

#include <cmath>
#include <cstdlib>

#include <fmt/format.h>
#include <optional>

#include "catalogue/reference_db.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"

bool gf_apfBool(const pugi::xml_attribute& attribute) {
    const char* text = attribute.value();
    switch (text[0]) {
    case '1':
    case 'T':
    case 't':
    case 'Y':
    case 'y': return true;
    default: return false;
    }
}

double gf_apfDouble(const pugi::xml_attribute& attribute) {
    // strtod reads the leading number and ignores the rest; no number gives 0.
    return std::strtod(attribute.value(), nullptr);
}

namespace {

pugi::xml_node parameterNode(const pugi::xml_node& document, std::string_view name) {
    // The name goes into an XPath literal; a name holding a quote cannot be a parameter of ours.
    if (name.find('\'') != std::string_view::npos) return {};
    return document.select_node(gf_parameterXPath(name).c_str()).node();
}

}  // namespace

std::optional<bool> lf_readBoolParameter(const pugi::xml_node& document, std::string_view name) {
    const pugi::xml_node node = parameterNode(document, name);
    if (!node) return std::nullopt;
    return gf_apfBool(node.attribute("value"));
}

std::optional<std::int32_t> lf_readIntParameter(const pugi::xml_node& document, std::string_view name) {
    const pugi::xml_node node = parameterNode(document, name);
    if (!node) return std::nullopt;
    return node.attribute("value").as_int();
}

std::optional<std::string> lf_readTextParameter(const pugi::xml_node& document, std::string_view name) {
    const pugi::xml_node node = parameterNode(document, name);
    if (!node) return std::nullopt;
    return std::string(node.attribute("value").value());
}

OptIdentity lf_readOptIdentity(const pugi::xml_node& opt) {
    OptIdentity identity;
    const std::string_view cs = opt.attribute("cs").value();
    const std::size_t colon = cs.find(':');
    if (colon == std::string_view::npos) {
        identity.callsignA = cs;
    } else {
        identity.callsignA = cs.substr(0, colon);
        const std::string_view rest = cs.substr(colon + 1);
        if (rest.find(':') == std::string_view::npos) identity.callsignB = rest;
    }
    const std::string_view reg = opt.attribute("reg").value();
    if (!reg.empty()) {
        std::optional<DbaseReg> entry;
        for (const std::string& spelling : gf_regSpellings(reg)) {
            if (gf_lookupRegcode(entry, spelling) && entry) {
                identity.airline = entry->operatorCode.empty() ? entry->airline : entry->operatorCode;
                identity.icaoType = entry->type;
                return identity;
            }
        }
    }
    identity.airline = opt.attribute("airl").value();
    identity.icaoType = opt.attribute("type").value();
    return identity;
}

StandOption lf_readOpt(const pugi::xml_node& opt, std::int32_t id, std::int32_t closed) {
    OptIdentity identity = lf_readOptIdentity(opt);
    StandOption option;
    option.airline = std::move(identity.airline);
    option.icaoType = std::move(identity.icaoType);
    option.key = opt.attribute("reg").value();
    option.callsignA = std::move(identity.callsignA);
    option.callsignB = std::move(identity.callsignB);
    option.halfHours = gf_hours2bitset(opt.attribute("hh").value());
    option.id = id;
    option.weekday = static_cast<std::int32_t>(opt.attribute("day").as_uint());
    option.closed = closed;
    option.real = gf_apfBool(opt.attribute("soft")) ? 0 : 1;
    return option;
}

bool lf_readParkpos(const pugi::xml_node& parkpos, const std::string& name, std::int32_t closed) {
    const double latitude = gf_apfDouble(parkpos.attribute("latitude"));
    const double longitude = gf_apfDouble(parkpos.attribute("longitude"));
    if (latitude == 0.0 && longitude == 0.0) return false;
    const double radius = gf_apfDouble(parkpos.attribute("radius"));
    // Also NaN fails the bounds; the coupling of the stands relies on latitudes within the globe.
    if (!(std::abs(latitude) <= 90.0) || !(std::abs(longitude) <= 180.0) || !std::isfinite(radius)) {
        gf_logError(fmt::format("stand {} has no valid position or radius", name));
        return false;
    }
    // Counted first, so that the stand holds its options without spare capacity.
    std::size_t count = 0;
    for (const pugi::xml_node& opt : parkpos.children("opt")) count += opt ? 1 : 0;
    std::vector<StandOption> options;
    options.reserve(count);
    std::int32_t id = 1;
    for (const pugi::xml_node& opt : parkpos.children("opt")) options.push_back(lf_readOpt(opt, id++, closed));
    const bool heli = gf_apfBool(parkpos.attribute("heli"));
    const bool ramp = gf_apfBool(parkpos.attribute("ramp"));
    const bool cargo = gf_apfBool(parkpos.attribute("cargo"));
    const double heading = gf_apfDouble(parkpos.attribute("heading")) * geo::deg2rad;
    currentStands.emplace_back(name, std::move(options), latitude, longitude, heading, radius, cargo ? 0 : 1,
                               ramp ? 0 : 1, heli ? 0 : 1);
    return true;
}
