#include "foundation/aircraft_category.h"

#include <stdexcept>
#include <unordered_map>

#include "foundation/settings.h"

std::string_view categoryName(std::uint32_t category) {
    static const std::unordered_map<std::uint32_t, std::string_view> names{
        {0, "Light"}, {1, "Buzjets"}, {2, "Large"}, {3, "Heavy"}, {4, "HighPerf"}, {5, "Rotorcraft"}};
    auto it = names.find(category);
    if (it == names.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

bool gf_categoryEnabled(std::uint32_t category) {
    switch (category) {
    case 0: return LIGHT_AIRCRAFT.value.load();
    case 1:
    case 2:
    case 3: return true;
    case 4: return HIGH_PERF_AIRCRAFT.value.load();
    case 5: return HELICOPTERS.value.load();
    default: return false;
    }
}
