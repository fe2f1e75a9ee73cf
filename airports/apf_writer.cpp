#include "airports/apf_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string_view>

#include <fmt/format.h>

#include "airports/learned.h"
#include "airports/parking_file.h"
#include "catalogue/reference_db.h"
#include "foundation/file_utils.h"
#include "foundation/geodesy.h"
#include "foundation/meta_header.h"
#include "foundation/settings.h"

namespace {

const char* boolText(bool value) { return value ? "true" : "false"; }

bool appendParameter(pugi::xml_node parameters, std::string_view name, std::string_view value) {
    pugi::xml_node node = parameters.append_child(apf::parameterElement);
    if (!node) return false;
    node.append_attribute("name").set_value(std::string(name).c_str());
    node.append_attribute("value").set_value(std::string(value).c_str());
    return true;
}

void setAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    node.append_attribute(name).set_value(value.c_str());
}

void writeFullForm(pugi::xml_node parkpos, const ParkPos& stand) {
    setAttribute(parkpos, "latitude", fmt::format("{:.6f}", stand.latitude));
    setAttribute(parkpos, "longitude", fmt::format("{:.6f}", stand.longitude));
    setAttribute(parkpos, "heading", fmt::format("{:.1F}", stand.heading * geo::rad2deg));
    setAttribute(parkpos, "radius", fmt::format("{:.1F}", stand.radius * standUnits::metresPerNm));
    if (stand.heli != 0)
        setAttribute(parkpos, "heli", "true");
    else
        setAttribute(parkpos, "cargo", boolText(stand.cargo != 0));
    setAttribute(parkpos, "ramp", boolText(stand.ramp != 0));
    if (stand.manual != 0) setAttribute(parkpos, "manual", "true");
}

}  // namespace

bool lf_appendApfParameters(pugi::xml_node document, const AirportPackage& record, std::int32_t kind) {
    pugi::xml_node parameters = document.append_child(apf::parametersElement);
    if (!parameters) return false;
    // Only a learned file can replace an airport's stands; a generated file never carries the mark.
    const bool handmade = kind == apfLearned && handmadeLearned.load() != 0;
    bool ok = appendParameter(parameters, apf::airportName, record.name);
    ok = ok && appendParameter(parameters, apf::publisher, record.publisher);
    if (handmade) ok = ok && appendParameter(parameters, apf::handmade, "true");
    if (handmade || kind == apfGenerated)
        ok = ok && appendParameter(parameters, apf::altitude, fmt::format("{}", record.altitude));
    ok = ok && appendParameter(parameters, apf::numParkpos, fmt::format("{}", record.stands.size()));
    if (handmade) {
        ok = ok && appendParameter(parameters, apf::qfReal, fmt::format("{}", record.qfReal));
        ok = ok && appendParameter(parameters, apf::qfSoft, fmt::format("{}", record.qfSoft));
    }
    if (record.publisher == apf::unknownPublisher) {
        ok = ok && appendParameter(parameters, apf::bglPath, record.bglPath);
        ok = ok && appendParameter(parameters, apf::manufacturer, record.manufacturer);
        ok = ok && appendParameter(parameters, apf::creator, record.creator);
    }
    if (kind == apfLearned) {
        auto number = [&](const IntParameter& p) {
            return appendParameter(parameters, p.name, fmt::format("{}", p.value.load()));
        };
        auto flag = [&](const BoolParameter& p) {
            return appendParameter(parameters, p.name, boolText(p.value.load()));
        };
        ok = ok && number(LATERAL_RANGE) && flag(AUTO_RANGE) && flag(WEEK) && flag(PARK_FAKE) && flag(PARK_SOFT) &&
             number(parking_percentage) && flag(INITIAL_LOAD_ONLY) && number(MAX_FIT) && flag(RT_PARKTRAFFIC_ONLY);
        if (MAX_LIVE.value.load() >= 0) ok = ok && number(MAX_LIVE);
        ok = ok && flag(LEARN_SOFT);
    }
    return ok;
}

void lf_writeOpt(pugi::xml_node parkpos, const StandOption& option) {
    // An option that a search switched off until the renewal is still the user's learned data.
    if (gf_lastingOptionId(option) == 0) return;
    pugi::xml_node opt = parkpos.append_child(apf::optionElement);
    setAttribute(opt, "reg", option.key);
    if (!gf_findRegcode(option.key)) {
        setAttribute(opt, "airl", option.airline);
        setAttribute(opt, "type", option.icaoType);
    }
    if (option.real == 0) setAttribute(opt, "soft", "true");
    setAttribute(opt, "day", fmt::format("{}", option.weekday));
    setAttribute(opt, "hh", gf_bitset2hours(option.halfHours));
    std::string cs = option.callsignA;
    if (!option.callsignB.empty()) cs += ":" + option.callsignB;
    if (!cs.empty()) setAttribute(opt, "cs", cs);
}

void lf_writeParkpos(pugi::xml_node parkpositions, std::int32_t kind, const ParkPos& stand) {
    pugi::xml_node parkpos = parkpositions.append_child(apf::standElement);
    setAttribute(parkpos, "id", stand.name);
    if (kind == apfGenerated) {
        writeFullForm(parkpos, stand);
        return;
    }
    const bool changed = stand.radiusChanged != 0 || stand.cargoChanged != 0;
    if (stand.manual != 0 || handmadeLearned.load() != 0) {
        // A stand of a file that replaces the airport's stands, or one made by hand, must carry its position:
        // the change form alone would read back as a stand at 0,0 and be dropped with its options.
        writeFullForm(parkpos, stand);
        if (stand.radiusChanged != 0) setAttribute(parkpos, "radius_change", "true");
        if (stand.cargoChanged != 0) setAttribute(parkpos, "cargo_change", "true");
    } else if (changed) {
        if (stand.radiusChanged != 0) {
            setAttribute(parkpos, "radius_change", "true");
            setAttribute(parkpos, "radius", fmt::format("{:.1F}", stand.radius * standUnits::metresPerNm));
        }
        if (stand.cargoChanged != 0) {
            setAttribute(parkpos, "cargo_change", "true");
            setAttribute(parkpos, "cargo", boolText(stand.cargo != 0));
        }
    }
    for (const StandOption& option : stand.options) lf_writeOpt(parkpos, option);
}

bool gf_writeApf(const AirportPackage& record, const std::filesystem::path& path, std::int32_t kind) {
    pugi::xml_document document;
    if (!gf_writeMetaData(document)) return false;
    if (!lf_appendApfParameters(document, record, kind)) return false;
    pugi::xml_node parkpositions = document.append_child(apf::standsElement);
    if (!parkpositions) return false;
    for (const ParkPos& stand : record.stands) lf_writeParkpos(parkpositions, kind, stand);
    return gf_saveXmlReplacing(document, path);
}

QualityFactors gf_qualityFactor(const std::vector<ParkPos>& stands) {
    bool anyOption = false;
    for (const ParkPos& stand : stands) anyOption = anyOption || !stand.options.empty();
    if (!anyOption) return {};
    double weightSum = 0.0;
    double sum[2] = {0.0, 0.0};  // [0] soft, [1] real
    for (const ParkPos& stand : stands) {
        // The weight classes compare the radius as held, in nautical miles.
        const double w = stand.radius <= 7.0 ? static_cast<double>(0.3f) : (stand.radius <= 10.0 ? 1.5 : 1.0);
        weightSum += w;
        int count[2] = {0, 0};
        int bits[2] = {0, 0};
        unsigned days[2] = {0, 0};  // bit d: weekday d seen
        for (const StandOption& option : stand.options) {
            if (option.id == 0) continue;
            const int k = option.real != 0 ? 1 : 0;
            ++count[k];
            if (option.weekday >= 1 && option.weekday <= 7) days[k] |= 1u << option.weekday;
            bits[k] += std::popcount(option.halfHours);
        }
        for (int k = 0; k < 2; ++k)
            if (count[k] > 0)
                sum[k] += w * (10000.0 + std::min(20 * count[k], 4000) + 100.0 * std::popcount(days[k]) +
                               2.0 * std::min(bits[k], 600));
    }
    auto percent = [&](double s) {
        auto value = static_cast<std::int32_t>(std::round(s / weightSum * 0.00625));
        value = std::min(value, 100);
        return value < 1 ? 0 : value;
    };
    return QualityFactors{percent(sum[1]), percent(sum[0])};
}

std::string gf_qualityText(const QualityFactors& factors) {
    if (factors.real < 0 && factors.soft < 0) return "  ";
    if (factors.real >= 45) return fmt::format("{:2}", factors.real);
    return fmt::format("{:2}/{:2}", factors.real, factors.soft);
}
