#pragma once
// Size class of an aircraft type; the numbers are stored in files and index per-category tables.
#include <cstdint>
#include <string_view>

enum class AircraftCategory : std::uint32_t {
    Light = 0,
    Buzjets = 1,
    Large = 2,
    Heavy = 3,
    HighPerf = 4,
    Rotorcraft = 5,
};

inline constexpr std::uint32_t aircraftCategoryCount = 6;

constexpr std::uint32_t categoryIndex(AircraftCategory c) noexcept { return static_cast<std::uint32_t>(c); }

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"; a number outside the table
// throws std::out_of_range ("invalid unordered_map<K, T> key").
std::string_view categoryName(std::uint32_t category);
inline std::string_view categoryName(AircraftCategory c) { return categoryName(categoryIndex(c)); }

// Whether aircraft of this category may be shown: Light, HighPerf and Rotorcraft follow their
// settings, the three airliner categories always, anything else never.
bool gf_categoryEnabled(std::uint32_t category);
