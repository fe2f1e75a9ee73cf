#pragma once
// Version numbers major.minor.patch.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

struct VersionData {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;

    VersionData() = default;
    constexpr VersionData(std::uint32_t ma, std::uint32_t mi, std::uint32_t pa) : major{ma}, minor{mi}, patch{pa} {}
    // "1.4.2" (any single character between the numbers) or a JSON object with "major", "minor", "patch".
    // A text that cannot be parsed is logged ("VersionData exception: ...") and leaves 0.0.0.
    explicit VersionData(std::string_view text);

    std::string toString() const;  // "{}.{}.{}"
    friend constexpr auto operator<=>(const VersionData&, const VersionData&) = default;
};

std::string gf_versionString(const VersionData& version);

// The program's short name, used in the log header and the meta header of the program's XML files.
inline constexpr std::string_view programShortName = "Vexa";
// The running program's version (set at start-up).
extern VersionData programVersion;
