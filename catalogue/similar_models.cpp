#include "catalogue/similar_models.h"

#include <fmt/format.h>

#include <algorithm>

#include "catalogue/livery_db.h"
#include "catalogue/reference_db.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/text_utils.h"

TextMap<std::vector<std::string>> similarModelTable;
TextMap<TextMap<std::vector<std::string>>> airlineSimilarModelTable;

namespace {
const std::vector<std::string> noModels;
std::vector<std::string> pickedModel;  // the one-element answer of a random installed model
}  // namespace

void gf_buildSimilarModels() {
    std::vector<std::string> lists;
    for (const auto& group : similarGroups) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            std::string list = group[i];
            bool any = false;
            for (std::size_t j = 0; j < group.size(); ++j) {
                if (j == i || !gf_hasLiveryForModel(group[j])) continue;
                list += ',';
                list += group[j];
                any = true;
            }
            if (any) lists.push_back(std::move(list));
        }
    }
    std::sort(lists.begin(), lists.end());
    lists.erase(std::unique(lists.begin(), lists.end()), lists.end());
    for (const auto& list : lists) {
        auto parts = gf_split(list, ',');
        std::string key = parts.front();
        parts.erase(parts.begin());
        similarModelTable.try_emplace(std::move(key), std::move(parts));
    }
    for (const auto& airline : gf_catalogueAirlinePrefixes()) {
        TextMap<std::vector<std::string>> table;
        for (const auto& [type, similar] : similarModelTable) {
            if (gf_catalogueHasAirlineModel(airline, type)) continue;
            std::vector<std::string> kept;
            for (const auto& s : similar)
                if (gf_catalogueHasAirlineModel(airline, s)) kept.push_back(s);
            if (!kept.empty()) table.emplace(type, std::move(kept));
        }
        if (!table.empty()) airlineSimilarModelTable.try_emplace(airline, std::move(table));
    }
    gf_log(fmt::format("{} similar model definitions", similarModelTable.size()));
}

const std::vector<std::string>& gf_similarModels(std::string_view type) {
    if (auto it = similarModelTable.find(type); it != similarModelTable.end()) {
        gf_shuffle(it->second);
        return it->second;
    }
    const std::vector<std::string>* installed = nullptr;
    switch (gf_aircraftCategory(type)) {
    case AircraftCategory::Light: installed = &installedLightModels; break;
    case AircraftCategory::Buzjets: installed = &installedBuzjetModels; break;
    case AircraftCategory::Rotorcraft: installed = &installedRotorcraftModels; break;
    default: return noModels;
    }
    if (installed->empty()) return noModels;
    const auto& model = (*installed)[gf_randomIndex(installed->size())];
    if (model.empty()) return noModels;
    pickedModel.assign(1, model);
    return pickedModel;
}

const std::vector<std::string>& gf_airlineSimilarModels(std::string_view airline, std::string_view type) {
    auto a = airlineSimilarModelTable.find(airline);
    if (a == airlineSimilarModelTable.end()) return noModels;
    auto t = a->second.find(type);
    if (t == a->second.end()) return noModels;
    gf_shuffle(t->second);
    return t->second;
}

void gf_resetSimilarModels() {
    similarModelTable.clear();
    airlineSimilarModelTable.clear();
    pickedModel.clear();
}
