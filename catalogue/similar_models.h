#pragma once
// Substitute ICAO types for livery matching: similar types with installed liveries, per airline or
// for any airline, and a random installed model of the same category for small aircraft.
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/string_keys.h"

extern TextMap<std::vector<std::string>> similarModelTable;
extern TextMap<TextMap<std::vector<std::string>>> airlineSimilarModelTable;

void gf_buildSimilarModels();
// The returned list is held by the catalogue and valid until the next call.
const std::vector<std::string>& gf_similarModels(std::string_view type);
const std::vector<std::string>& gf_airlineSimilarModels(std::string_view airline, std::string_view type);

void gf_resetSimilarModels();
