#include "catalogue/livery_cache.h"

#include <fmt/format.h>

#include <filesystem>

#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"

std::string gf_liveryCachePath() { return (std::filesystem::path("output") / "LiveriesScanned.xml").string(); }

void lf_writeLiveryElement(pugi::xml_node liveries, const LiveryRecord& record) {
    auto liv = liveries.append_child("liv");
    liv.append_attribute("airl").set_value(record.airline.c_str());
    liv.append_attribute("type").set_value(record.type.c_str());
    if (record.cargo) liv.append_attribute("cargo").set_value("true");
    liv.append_attribute("title").set_value(record.title.c_str());
    if (!record.atcId.empty()) liv.append_attribute("atcid").set_value(record.atcId.c_str());
}

void lf_writeLiveriesScanned() {
    if (liveryList.empty()) return;
    const auto path = gf_liveryCachePath();
    pugi::xml_document doc;
    gf_writeMetaData(doc);
    auto liveries = doc.append_child("liveries");
    for (const auto& record : liveryList) lf_writeLiveryElement(liveries, record);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    gf_saveXml(doc, path);
    gf_log(fmt::format("{} liveries in {}", liveryList.size(), path));
}

void lf_readLiveriesScanned() {
    liveryList.clear();
    const auto path = gf_liveryCachePath();
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) throw ovk::UserErrorException(51, fmt::format("File {} not found", path));
    gf_checkMetaData(doc);
    auto liveries = doc.child("liveries");
    if (!liveries) throw ovk::UserErrorException(52, fmt::format("{} does not contain a <liveries> section", path));
    for (auto liv : liveries.children("liv")) {
        liveryList.push_back(LiveryRecord::make(liv.attribute("airl").value(), liv.attribute("type").value(),
                                                liv.attribute("title").value(), liv.attribute("atcid").value(),
                                                liv.attribute("cargo").as_bool(false)));
    }
    if (liveryList.empty()) throw ovk::UserErrorException(533, path + " does not contain liveries");
    gf_log(fmt::format("{} liveries read from {}", liveryList.size(), path));
    liveryList.sort(liveryOrderLess);
}
