#include "catalogue/livery_cache.h"

#include <filesystem>

std::string gf_liveryCachePath() { return (std::filesystem::path("output") / "LiveriesScanned.xml").string(); }

void lf_writeLiveriesScanned() {}
void lf_writeLiveryElement(pugi::xml_node, const LiveryRecord&) {}
void lf_readLiveriesScanned() { liveryList.clear(); }
