#include "catalogue/aircraft_cfg.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "catalogue/cfg_model.h"
#include "catalogue/cfg_text.h"
#include "catalogue/livery_sections.h"
#include "foundation/log.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool equalsLower(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

// Whether the line holds "[fltsim." or "[FLTSIM." (exactly these two forms).
bool holdsHeaderPrefix(std::string_view line) {
    for (std::size_t i = line.find('['); i != std::string_view::npos; i = line.find('[', i + 1)) {
        const auto rest = line.substr(i + 1, 7);
        if (rest == "fltsim." || rest == "FLTSIM.") return true;
    }
    return false;
}

// Calls `section(first, count)` for each section of the lines: the standard cutter ends a section at a
// line with '[' among its first six characters, the IVAO cutter at any '['.
template <typename Section>
void cutSections(std::span<const std::string_view> lines, bool ivao, Section section) {
    bool inSection = false;
    std::size_t first = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.find('[') == std::string::npos) continue;  // neither header nor section end
        if (!lf_fltsimNumber(line).empty()) {
            if (inSection) section(first, i - first);
            inSection = true;
            first = i;
            continue;
        }
        const auto bracket = line.find('[');
        if (inSection && (ivao || bracket < 6)) {
            section(first, i - first);
            inSection = false;
        }
    }
    if (inSection) section(first, lines.size() - first);
}

}  // namespace

std::string lf_fltsimNumber(std::string_view line) {
    if (line.starts_with("//")) return {};
    // \s*(\[fltsim\.)(\d+)\]\s* over the whole line, any letter case.
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (equalsLower(line.substr(i, 8), "[fltsim.")) {
        std::size_t d = i + 8, e = d;
        while (e < line.size() && line[e] >= '0' && line[e] <= '9') ++e;
        if (e > d && e < line.size() && line[e] == ']') {
            std::size_t k = e + 1;
            while (k < line.size() && isBlank(line[k])) ++k;
            if (k == line.size()) return std::string(line.substr(d, e - d));
        }
    }
    if (holdsHeaderPrefix(line)) return std::string(headerWithoutNumber);
    return {};
}

std::string lf_cfgFolderText(const std::string& cfgPath) {
    const auto last = cfgPath.find_last_of("/\\");
    return last == std::string::npos ? std::string() : cfgPath.substr(0, last);
}

bool lf_checkFltsimNumbers(std::span<const std::string_view> lines, const std::string& cfgPath) {
    std::vector<std::int32_t> numbers;
    for (const auto& line : lines) {
        if (line.find('[') == std::string::npos) continue;
        const auto text = lf_fltsimNumber(line);
        if (text.empty()) continue;
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || end == text.data()) {
            gf_logError(fmt::format("fltsim num {} incorrect", line));
            return false;
        }
        numbers.push_back(n);
    }
    if (numbers.empty()) {
        lf_addNoFltsimCfg(cfgPath);
        return true;
    }
    std::sort(numbers.begin(), numbers.end());
    std::int32_t expected = 0;
    for (const auto n : numbers) {
        if (n == expected) {
            ++expected;
            continue;
        }
        const auto message = n == 10000 ? std::string("a [fltsim.] section without a number")
                                        : fmt::format("non-consecutive [fltsim.x] numbers at .x={}", n);
        lf_addInvalidCfg(cfgPath + " contains " + message);
        return false;
    }
    return true;
}

namespace {

// The records of a file's text; `type` is the IVAO file's type from its path, empty for a standard file.
std::list<LiveryRecord> liveriesFromText(std::uint32_t rootIndex, std::string_view bytes, const std::string& cfgPath,
                                         bool ivao, std::string type) {
    std::vector<std::string_view> lines;
    lines.reserve(4048);
    std::string converted;
    if (!lf_cfgTextLines(bytes, converted, lines)) return {};
    if (!lf_checkFltsimNumbers(lines, cfgPath)) return {};
    if (!ivao) {
        type = lf_cfgModel(cfgPath, lines);
        if (type.empty()) return {};
    }
    const std::string folder = lf_cfgFolderText(cfgPath);
    std::list<LiveryRecord> result;
    cutSections(lines, ivao, [&](std::size_t first, std::size_t count) {
        const auto section = std::span<const std::string_view>(lines).subspan(first, count);
        if (ivao) {
            auto record = lf_procesIvaoFltSimSection(rootIndex, section, type, cfgPath, folder);
            if (!record.airline.empty()) result.push_back(std::move(record));
        } else {
            result.splice(result.end(), lf_procesFltSimSection(rootIndex, section, type, cfgPath, folder));
        }
    });
    result.sort(liveryOrderLess);
    return result;
}

std::list<LiveryRecord> readCfg(std::uint32_t rootIndex, const std::filesystem::path& path, bool ivao) {
    const std::string cfgPath = path.string();
    std::string type;
    if (ivao) {
        type = lf_ivaoModel(cfgPath);
        if (type.empty()) return {};
    }
    std::string bytes;
    if (!lf_readFileBytes(path, bytes)) {
        const int error = errno;
        gf_log(fmt::format("cannot open file {} for character encoding, err: {}", cfgPath, error));
        if (ivao) gf_logError(fmt::format("no character set found for {}", cfgPath));
        return {};
    }
    return liveriesFromText(rootIndex, bytes, cfgPath, ivao, std::move(type));
}

}  // namespace

std::list<LiveryRecord> lf_liveriesFromCfgText(std::uint32_t rootIndex, std::string_view bytes,
                                               const std::string& cfgPath, bool ivao) {
    std::string type;
    if (ivao) {
        type = lf_ivaoModel(cfgPath);
        if (type.empty()) return {};
    }
    return liveriesFromText(rootIndex, bytes, cfgPath, ivao, std::move(type));
}

std::list<LiveryRecord> lf_searchLiveriesinFile(std::uint32_t rootIndex, const std::filesystem::path& cfgPath) {
    try {
        if (!std::filesystem::exists(cfgPath)) return {};
        return readCfg(rootIndex, cfgPath, false);
    } catch (const std::exception& e) {
        gf_log(fmt::format("exception in lf_searchLiveriesinFile {}: {}", cfgPath.string(), e.what()));
        throw;
    }
}

std::list<LiveryRecord> lf_searchLiveriesinIvaoFile(std::uint32_t rootIndex, const std::filesystem::path& cfgPath) {
    return readCfg(rootIndex, cfgPath, true);
}
