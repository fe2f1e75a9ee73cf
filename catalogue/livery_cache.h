#pragma once
// The livery scan cache "LiveriesScanned.xml" in the output folder: the hand-over between the
// livery scan, which writes it, and the livery database build, which reads it back.
#include <string>

#include <pugixml.hpp>

#include "catalogue/livery_record.h"

// "output/LiveriesScanned.xml" below the program folder.
std::string gf_liveryCachePath();

// Writes liveryList to the cache; nothing when the list is empty.
void lf_writeLiveriesScanned();
void lf_writeLiveryElement(pugi::xml_node liveries, const LiveryRecord& record);
// Replaces liveryList with the cache's liveries in livery order. Throws ovk::UserErrorException
// 51 (not loadable), 52 (no <liveries>) or 533 (no liveries), leaving liveryList empty.
void lf_readLiveriesScanned();
