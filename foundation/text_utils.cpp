#include "foundation/text_utils.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>

std::vector<std::string> gf_split(std::string_view text, char delimiter) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(delimiter, start);
        if (at == std::string_view::npos) {
            pieces.push_back(gf_trim(text.substr(start)));
            break;
        }
        pieces.push_back(gf_trim(text.substr(start, at - start)));
        start = at + 1;
    }
    return pieces;
}

std::vector<std::string> gf_splitComma(std::string_view text) { return gf_split(text, ','); }

std::set<std::string> gf_commaListToSet(std::string_view text) {
    std::set<std::string> items;
    for (auto& piece : gf_splitComma(text)) items.insert(gf_trim(piece));
    return items;
}

void gf_trimCommaList(std::string& text) {
    std::string result;
    bool first = true;
    for (const auto& piece : gf_splitComma(text)) {
        if (!first) result += ',';
        result += gf_trim(piece);
        first = false;
    }
    text = std::move(result);
}

std::string gf_trim(std::string_view text) {
    // Not txt::whiteSpace: settings objects may trim while other files are still being initialised.
    constexpr std::string_view whiteSpace = " \t\n\r";
    const auto begin = text.find_first_not_of(whiteSpace);
    if (begin == std::string_view::npos) return {};
    const auto end = text.find_last_not_of(whiteSpace);
    return std::string(text.substr(begin, end - begin + 1));
}

std::string gf_betweenQuotes(std::string_view text) {
    const auto first = text.find('"');
    if (first == std::string_view::npos) return std::string(text);
    const auto second = text.find('"', first + 1);
    if (second == std::string_view::npos) return {};
    return std::string(text.substr(first + 1, second - first - 1));
}

bool gf_equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool gf_equalsUpper(std::string_view upper, std::string_view text) {
    if (upper.size() != text.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        if (c != upper[i]) return false;
    }
    return true;
}

bool gf_sameFirst42(std::string_view text, std::string_view other) { return text.substr(0, 42) == other; }

std::string gf_floatText(float value) {
    if (std::isfinite(value) && value != std::trunc(value)) return fmt::format("{:.1F}", value);
    return fmt::format("{:.0f}", value);
}

const std::string& gf_plural(std::int64_t count) { return count == 1 ? txt::empty : txt::plural; }

const std::string& gf_pluralSuffix(std::int64_t count) { return count == 1 || count < 0 ? txt::empty : txt::plural; }
