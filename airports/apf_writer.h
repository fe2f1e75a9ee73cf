#pragma once
// Writing an airport parking file, and the quality factor that rates the plan of the park airport's stands.
//
// Two kinds of file: generated (1), written by the add-on airport scan from BGL data, with every stand in
// full form and no plan options; learned (0), written when the park airport is left, with the settings in
// force, the stands that carry something learned, and their plan options.
//
// Threads: gf_writeApf runs on scan tasks and on the run thread; each call has its own document and record
// and reads only handmadeLearned and the simulator family, which do not change while scan tasks run.
// gf_qualityFactor runs on the run thread.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "airports/airport_package.h"
#include "airports/stands.h"

enum ApfKind : std::int32_t {
    apfLearned = 0,
    apfGenerated = 1
};

// Percent 0..100 each, or -1 for both when no stand has a plan option.
struct QualityFactors {
    std::int32_t real = -1;
    std::int32_t soft = -1;
    bool operator==(const QualityFactors&) const = default;
};

// Writes the record to the path (a temporary file renamed over the target). True when the file was written
// whole; false when the header, the parameters or the save failed, and the old file is then untouched.
bool gf_writeApf(const AirportPackage& record, const std::filesystem::path& path, std::int32_t kind);
bool lf_appendApfParameters(pugi::xml_node document, const AirportPackage& record, std::int32_t kind);
void lf_writeParkpos(pugi::xml_node parkpositions, std::int32_t kind, const ParkPos& stand);
void lf_writeOpt(pugi::xml_node parkpos, const StandOption& option);

// The quality of the stands' plan (by default the park airport's).
QualityFactors gf_qualityFactor(const std::vector<ParkPos>& stands = currentStands);
// "  " when both are negative; the real factor alone ("{:2}") from 45 on; else "{:2}/{:2}".
std::string gf_qualityText(const QualityFactors& factors);
