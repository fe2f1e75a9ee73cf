#include "catalogue/livery_sections.h"

#include <fmt/format.h>

#include <cctype>
#include <filesystem>
#include <unordered_set>

#include "catalogue/reference_db.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"

namespace {

std::unordered_set<std::string> excludedTitleIndex;

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

void upperInPlace(std::string& s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool isLargeOrHeavy(const std::string& type) {
    const auto c = gf_aircraftCategory(type);
    return c == AircraftCategory::Large || c == AircraftCategory::Heavy;
}

// A registration that the reference database knows together with its airline; one without an airline
// tells nothing about the livery.
std::optional<DbaseReg> findRegWithAirline(const std::string& atcId) {
    auto reg = gf_findRegcode(atcId);
    if (reg && reg->airline.empty()) reg.reset();
    return reg;
}

// Without trailing empty and comment lines.
std::span<const std::string_view> trimmedSection(std::span<const std::string_view> section) {
    std::size_t n = section.size();
    while (n > 0 && (section[n - 1].empty() || section[n - 1].starts_with("//"))) --n;
    return section.first(n);
}

// The atc_id value of a standard section: cut at ';', one registration or none.
void standardRegistration(const std::string& value, const std::string& title, std::string& atcId) {
    const auto items = gf_splitComma(std::string_view(value).substr(0, value.find(';')));
    if (items.empty()) {
        gf_log(fmt::format("invalid atc_id={} ==> in: {}", value, title));
        return;
    }
    for (const auto& item : items) {
        if (item.empty()) {
            gf_log(fmt::format("empty regcode in {} {}", title, value));
            return;
        }
        if (item == " ") {
            gf_log(fmt::format("regcode is a space char? {} {}", title, value));
            return;
        }
        if (item.size() > 12) {
            gf_log(fmt::format("regcode: {}, has more than 12 chars or contains UTF16 chars in \"{}\"?", item, title));
            return;
        }
        if (contains(item, "*")) {
            gf_logError(fmt::format("{} {} wild cards no longer supported, atc_id skipped ", title, item));
            return;
        }
    }
    if (items.size() == 1) atcId = items.front();
}

void ivaoRegistration(const std::string& value, const std::string& title, std::string& atcId) {
    const auto items = gf_splitComma(value);
    for (const auto& item : items) {
        if (item.empty()) {
            gf_log(fmt::format(" empty regcode in: {}", value));
            return;
        }
        if (item.size() > 12) {
            gf_log(fmt::format("regcode: {}, has more than 12 chars in title: {}", item.size(), title));
            return;
        }
        if (contains(item, "*")) {
            gf_logError(fmt::format("{} {} wild cards no longer supported, atc_id skipped ", title, item));
            return;
        }
        if (item == "G-BAFM") return;
    }
    if (items.size() == 1) atcId = items.front();
}

// What one key's branch made of a line.
enum class KeyStep {
    otherLine,
    taken,
    repeated
};

// atc_parking_types: the first value is kept (items trimmed, upper case); a second key repeats it.
KeyStep parkingTypesStep(std::string_view line, std::string& parkingTypes) {
    if (!parkingTypes.empty()) return lf_hasParkingTypesKey(line) ? KeyStep::repeated : KeyStep::otherLine;
    if (!lf_readParkingTypes(line, parkingTypes)) return KeyStep::otherLine;
    gf_trimCommaList(parkingTypes);
    upperInPlace(parkingTypes);
    return KeyStep::taken;
}

// atc_id: the registration rules of the section run on the first value; a second key repeats it.
template <typename Rules>
KeyStep atcIdStep(std::string_view line, const std::string& title, std::string& atcId, Rules rules) {
    if (!atcId.empty()) return lf_hasAtcIdKey(line) ? KeyStep::repeated : KeyStep::otherLine;
    std::string value;
    if (!lf_readAtcId(line, value)) return KeyStep::otherLine;
    rules(value, title, atcId);
    return KeyStep::taken;
}

void addRepeatedAtcId(const std::string& folder, std::string_view header) {
    lf_addIncompleteSection(fmt::format("{}, {}, has more than one atc_id key", folder, header));
}

std::list<LiveryRecord> standardSection(std::uint32_t rootIndex, std::span<const std::string_view> lines,
                                        const std::string& type, const std::string& cfgPath,
                                        const std::string& folder) {
    const std::string header(lines.front());
    std::string title, airline, atcId, parkingTypes, value;
    const auto incomplete = [&](std::string_view tail) {
        lf_addIncompleteSection(fmt::format("{} {} {}", folder, header, tail));
    };

    for (const auto& line : trimmedSection(lines)) {
        // Title.
        if (lf_readTitle(line, value)) {
            if (!title.empty()) {
                incomplete("has more than one title key");
                return {};
            }
            title = gf_trim(value);
            value.clear();
            if (contains(title, "FenixA320") || contains(title, "PMDG 737") ||
                (SUPPRESS_STUB.value.load() && title.ends_with("-STUB")))
                return {};
            continue;
        }
        // Airline.
        if (!airline.empty()) {
            if (contains(line, "icao_airline")) {
                incomplete("has more than one icao_airline key");
                return {};
            }
        } else if (lf_readIcaoAirline(line, value)) {
            airline = std::move(value);
            value.clear();
            gf_trimCommaList(airline);
            if (airline.size() == 4 && (airline.back() == 'X' || airline.back() == 'C')) airline.pop_back();
            if (!gf_isIcaoAirline(airline)) {
                if (airline == "RFO") return {};
                lf_addInvalidAirline(airline, cfgPath, header);
                airline.clear();
            }
            continue;
        }
        // Parking types.
        const auto parking = parkingTypesStep(line, parkingTypes);
        if (parking == KeyStep::repeated) {
            incomplete("has more than one atc_parking_types key");
            return {};
        }
        if (parking == KeyStep::taken) continue;
        // Registration.
        if (atcIdStep(line, title, atcId, standardRegistration) == KeyStep::repeated) {
            addRepeatedAtcId(folder, header);
            return {};
        }
    }

    if (title.empty()) {
        incomplete("misses title");
        return {};
    }
    if (lf_isExcludedTitle(title)) return {};
    if (airline == "ZZZ") atcId.clear();
    if (airline.empty() && !atcId.empty()) {
        if (auto reg = findRegWithAirline(atcId)) {
            airline = reg->airline;
        } else if (isLargeOrHeavy(type)) {
            lf_addIncompleteSection(fmt::format(
                "\"{}\" \"{}\" has no airline and its regcode is not in my dbase (very old liv?)", folder, header));
            return {};
        } else {
            airline = "PVT";
        }
    } else if (airline.empty()) {
        if (isLargeOrHeavy(type)) {
            lf_addIncompleteSection(fmt::format("\"{}\" \"{}\" has no airline and no regcode info", folder, header));
            return {};
        }
        airline = "PVT";
        atcId = gf_privateRegPrefix(title);
    }
    const bool cargo = contains(parkingTypes, "CARGO") && !contains(parkingTypes, "GATE");
    LiveryRecord record(rootIndex, std::move(airline), type, !cargo, title, std::move(atcId));
    if (record.empty()) {
        lf_addIncompleteSection(fmt::format("{} {} title \"{}\" already exists", folder, header, title));
        return {};
    }
    std::list<LiveryRecord> result;
    result.push_back(std::move(record));
    return result;
}

// The airline code that follows the type (and "W" for the W-marked folders) at the head of the title, as
// the pattern TYPE[W]\s*(\w\w\w).*$ matched case-insensitively against the whole title finds it.
std::string ivaoAirline(const std::string& title, const std::string& type, bool wMarked) {
    std::string head = type + (wMarked ? "W" : "");
    if (title.size() < head.size()) return {};
    for (std::size_t i = 0; i < head.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(title[i])) != std::tolower(static_cast<unsigned char>(head[i])))
            return {};
    std::size_t i = head.size();
    while (i < title.size() && std::isspace(static_cast<unsigned char>(title[i]))) ++i;
    if (title.size() - i < 3) return {};
    for (std::size_t k = i; k < i + 3; ++k) {
        const auto c = static_cast<unsigned char>(title[k]);
        if (!std::isalnum(c) && c != '_') return {};
    }
    if (title.find_first_of("\r\n", i + 3) != std::string::npos) return {};
    return title.substr(i, 3);
}

// Whether the aircraft's folder holds the texture folder `name`, as the simulator's file system finds it:
// letter case does not matter, and dots and blanks at the end of the name are dropped (so "texture.", the
// name of an empty texture key, is the folder "texture"). A failing status query other than "not found"
// throws and ends the file's task.
bool isTextureFolder(const std::string& folderText, std::string name) {
    namespace fs = std::filesystem;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    const fs::path folder = folderText.empty() ? fs::path(".") : fs::path(folderText);
    if (fs::is_directory(folder / name)) return true;
    std::error_code ec;
    fs::directory_iterator entries(folder, ec);
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return false;
    if (ec) throw fs::filesystem_error("cannot list the texture folders", folder, ec);
    for (const auto& entry : entries)
        if (gf_equalsNoCase(entry.path().filename().string(), name) && entry.is_directory()) return true;
    return false;
}

LiveryRecord ivaoSection(std::uint32_t rootIndex, std::span<const std::string_view> lines, const std::string& type,
                         const std::string& cfgPath, const std::string& folder) {
    const std::string header(lines.front());
    const auto report = [&](std::string_view tail) {
        lf_addIncompleteSection(folder + " " + header + std::string(tail));
    };
    const bool wMarked = contains(folder, "IVAO_B738WLfa") || contains(folder, "IVAO_B739WLfa") ||
                         contains(folder, "IVAO_A320wCFM") || contains(folder, "IVAO_A320wIAE") ||
                         contains(folder, "IVAO_A319fIAEw");
    std::string title, atcId, parkingTypes, texture, value;

    for (const auto& line : trimmedSection(lines)) {
        if (lf_readTitle(line, value)) {
            if (!title.empty()) {
                report(" has more than one title key");
                return {};
            }
            title = gf_trim(value);
            if (title.size() < value.size())
                gf_log(fmt::format("removed spaces around title \"{}\" --> \"{}\"", value, title));
            value.clear();
            continue;
        }
        // The parking types are read only to find a repeated key: the record is never a freighter.
        const auto parking = parkingTypesStep(line, parkingTypes);
        if (parking == KeyStep::repeated) {
            report(" has more than one atc_parking_types key");
            return {};
        }
        if (parking == KeyStep::taken) continue;
        const auto registration = atcIdStep(line, title, atcId, ivaoRegistration);
        if (registration == KeyStep::repeated) {
            addRepeatedAtcId(folder, header);
            return {};
        }
        if (registration == KeyStep::taken) continue;
        if (texture.empty()) lf_readTexture(line, texture);
    }

    const auto textureFolder = std::filesystem::path(folder) / ("texture." + texture);
    if (!isTextureFolder(folder, "texture." + texture)) {
        lf_addIncompleteSection(textureFolder.string() + " " + header + " does not exist");
        return {};
    }
    if (title.empty()) {
        report(" misses title");
        return {};
    }
    if (lf_isExcludedTitle(title)) return {};
    LiveryRecord record;
    if (auto airline = ivaoAirline(title, type, wMarked); !airline.empty()) {
        if (!gf_isIcaoAirline(airline)) {
            lf_addInvalidAirline(airline, cfgPath, header);
            return {};
        }
        if (airline == "ZZZ") atcId.clear();
        record = LiveryRecord(rootIndex, std::move(airline), type, true, title, atcId);
    } else if (!atcId.empty()) {
        auto reg = findRegWithAirline(atcId);
        if (!reg) {
            report(" misses airlinecode in title: " + title + ", and regcode unknown" + atcId);
            return {};
        }
        record = LiveryRecord(rootIndex, reg->airline, type, true, title, atcId);
    } else {
        report(" misses airlinecode in title: " + title + ", and no regcode");
        return {};
    }
    if (record.empty()) report(" title already exists: " + title);
    return record;
}

}  // namespace

void lf_indexExcludedTitles() {
    excludedTitleIndex.clear();
    excludedTitleIndex.insert(excludedTitles.begin(), excludedTitles.end());
}

bool lf_isExcludedTitle(const std::string& title) { return excludedTitleIndex.contains(title); }

std::list<LiveryRecord> lf_procesFltSimSection(std::uint32_t rootIndex, std::span<const std::string_view> section,
                                               const std::string& type, const std::string& cfgPath,
                                               const std::string& folder) {
    if (section.empty()) return {};
    try {
        return standardSection(rootIndex, section, type, cfgPath, folder);
    } catch (const std::exception& e) {
        gf_log(fmt::format("exception in lf_procesFltSimSection: {}, file: {}", e.what(), cfgPath));
        throw;
    }
}

LiveryRecord lf_procesIvaoFltSimSection(std::uint32_t rootIndex, std::span<const std::string_view> section,
                                        const std::string& type, const std::string& cfgPath,
                                        const std::string& folder) {
    if (section.empty()) return {};
    return ivaoSection(rootIndex, section, type, cfgPath, folder);
}
