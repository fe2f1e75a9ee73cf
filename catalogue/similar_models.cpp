#include "catalogue/similar_models.h"

TextMap<std::vector<std::string>> similarModelTable;
TextMap<TextMap<std::vector<std::string>>> airlineSimilarModelTable;

namespace {
const std::vector<std::string> noModels;
}

void gf_buildSimilarModels() {}
const std::vector<std::string>& gf_similarModels(std::string_view) { return noModels; }
const std::vector<std::string>& gf_airlineSimilarModels(std::string_view, std::string_view) { return noModels; }
void gf_resetSimilarModels() {
    similarModelTable.clear();
    airlineSimilarModelTable.clear();
}
