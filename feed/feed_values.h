#pragma once
// Small readers of the service's JSON values, shared by the feed's parsers and requests.

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace feedvalues {

// Any JSON number (integer or floating point) as a double; anything else 0.
inline double number(const nlohmann::json& value) { return value.is_number() ? value.get<double>() : 0.0; }

// A JSON string; anything else the empty string.
inline std::string text(const nlohmann::json& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

// The lateral range in nautical miles that limits the live traffic.
double lateralRangeNm();

}  // namespace feedvalues
