#include "catalogue/cfg_model.h"

#include <fmt/format.h>

#include <cctype>
#include <unordered_map>
#include <vector>

#include "catalogue/livery_record.h"
#include "catalogue/reference_db.h"
#include "foundation/text_utils.h"

namespace {

// Stock aircraft folder -> ICAO type; folder names compare byte for byte.
const std::unordered_map<std::string_view, std::string_view> baseContainerModels = {
    {"Asobo_FlightDesignCT", "FDCT"},
    {"Asobo_Longitude", "C700"},
    {"Asobo_VL3", "VL3"},
    {"Asobo_Savage_Cub", "SAVG"},
    {"Asobo_Savage_ShockUltra", "SAVG"},
    {"Asobo_XCub", "CC19"},
    {"Asobo_Pitts", "PTS2"},
    {"Asobo_SR22", "SR22"},
    {"Asobo_Icon", "A5"},
    {"Asobo_TBM930", "TBM9"},
    {"Asobo_KingAir350", "B350"},
    {"Asobo_E330", "E300"},
    {"Asobo_DV20", "DV20"},
    {"Asobo_DR400", "DR40"},
    {"Asobo_DA62", "DA62"},
    {"Asobo_DA40_TDI", "DA40"},
    {"Asobo_DA40_NG", "DA40"},
    {"Asobo_Cap10C", "CP10"},
    {"Asobo_CJ4", "C25C"},
    {"Asobo_C152", "C152"},
    {"Asobo_C152_Aerobat", "C152"},
    {"Asobo_C172sp_AS1000", "C172"},
    {"Asobo_C172sp_classic", "C172"},
    {"Asobo_Bonanza_G36", "BE36"},
    {"Asobo_Baron_G58", "B58T"},
    {"Asobo_B747_8i", "B748"},
    {"Asobo_B787_10", "B78X"},
    {"Asobo_208B_GRAND_CARAVAN_EX", "C208"},
    {"Asobo_A320_NEO", "A20N"},
    {"FlyByWire_A320_NEO", "A20N"},
};

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// The path's folders and file name, split at either separator.
std::vector<std::string_view> pathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

}  // namespace

std::string lf_testCfgModel(const std::string& candidate, const std::string& cfgPath) {
    if (gf_isKnownModel(candidate)) return candidate;
    if (auto fix = modelFixTable.find(candidate); fix != modelFixTable.end()) {
        lf_addModelFix(fmt::format("Model fix: {} found in {} changed into {}", candidate, cfgPath, fix->second));
        return fix->second;
    }
    lf_addInvalidAircraft(candidate, cfgPath);
    return {};
}

std::string lf_readBaseContainer(std::string_view line) {
    std::string value;
    if (!lf_readKey("base_container", line, value) || value.size() < 3) return {};
    auto it = baseContainerModels.find(std::string_view(value).substr(3));
    if (it == baseContainerModels.end()) return {};
    std::string type(it->second);
    for (auto& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return type;
}

std::string lf_cfgModel(const std::string& cfgPath, std::span<const std::string_view> lines) {
    for (const auto& line : lines) {
        auto type = lf_readIcaoType(line);
        if (!type.empty()) return lf_testCfgModel(type, cfgPath);
    }
    for (const auto& line : lines) {
        auto type = lf_readBaseContainer(line);
        if (!type.empty()) return lf_testCfgModel(type, cfgPath);
    }
    if (cfgPath.find("pmdg-aircraft-7") != std::string::npos || cfgPath.find("fnx-aircraft-3") != std::string::npos)
        return {};
    lf_addInvalidCfg("Line icao_type_designator= is missing in [General] section of " + cfgPath);
    return {};
}

std::string lf_ivaoModel(const std::string& cfgPath) {
    // <something>/IVAO_MTL|ivao_x-csl/SimObjects/Airplanes/IVAO_<word>/aircraft.cfg, any letter case.
    const auto parts = pathParts(cfgPath);
    const std::size_t n = parts.size();
    bool match = n >= 6 && gf_equalsNoCase(parts[n - 1], "aircraft.cfg") &&
                 gf_equalsNoCase(parts[n - 3], "Airplanes") && gf_equalsNoCase(parts[n - 4], "SimObjects") &&
                 (gf_equalsNoCase(parts[n - 5], "IVAO_MTL") || gf_equalsNoCase(parts[n - 5], "ivao_x-csl"));
    std::string_view folder;
    if (match) {
        folder = parts[n - 2];
        match = folder.size() > 5 && gf_equalsNoCase(folder.substr(0, 5), "IVAO_");
        if (match) {
            folder.remove_prefix(5);
            for (char c : folder) match = match && isWordChar(c);
        }
        // Something must stand before the package folder.
        std::size_t before = 0;
        for (std::size_t i = 0; i + 5 < n; ++i) before += parts[i].size() + 1;
        match = match && before > 1;
    }
    if (!match) {
        lf_addInvalidAircraft("  ", cfgPath);
        return {};
    }
    return lf_testCfgModel(std::string(folder.substr(0, 4)), cfgPath);
}
