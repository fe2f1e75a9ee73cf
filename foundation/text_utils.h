#pragma once
// Splitting, trimming and small text helpers.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Texts shared across the program.
namespace txt {
inline const std::string empty;
inline const std::string plural = "s";
inline const std::string hash = "#";
inline const std::string comma = ",";
inline const std::string question = "?";
inline const std::string blank = " ";
inline const std::string whiteSpace = " \t\n\r";
inline const std::string name = "name";
inline const std::string value = "value";
inline const std::string altitude = "altitude";
inline const std::string backupInfix = "0";
inline const std::string lineEnd = "\n";
}  // namespace txt

// Pieces between delimiters, each trimmed; empty pieces are kept; an empty text gives no piece.
std::vector<std::string> gf_split(std::string_view text, char delimiter);
std::vector<std::string> gf_splitComma(std::string_view text);
// The trimmed pieces of a comma list in a sorted set.
std::set<std::string> gf_commaListToSet(std::string_view text);
// Rewrites a comma list with each item trimmed.
void gf_trimCommaList(std::string& text);
// Without leading and trailing " \t\n\r".
std::string gf_trim(std::string_view text);
// Text between the first two double quotes; the whole text when it has none; empty for a single quote.
std::string gf_betweenQuotes(std::string_view text);
// Whether text, upper-cased, equals upper.
bool gf_equalsUpper(std::string_view upper, std::string_view text);
// Whether the two texts are equal without regard to ASCII letter case.
bool gf_equalsNoCase(std::string_view a, std::string_view b);
// Whether the first 42 characters of text equal other.
bool gf_sameFirst42(std::string_view text, std::string_view other);
// "{:.1F}" with a fractional part, "{:.0f}" when whole.
std::string gf_floatText(float value);
// "" for 1, else "s".
const std::string& gf_plural(std::int64_t count);
// "" for 1 or a negative count, else "s".
const std::string& gf_pluralSuffix(std::int64_t count);
