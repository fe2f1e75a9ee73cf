#pragma once
// Reading the park airport's airport parking file into currentStands: the server file is downloaded first,
// the meta header checked, the airport's parameters taken, one stand built per "parkpos" with its plan
// options, the airport's learned file merged, the quality factors computed, the stands numbered and the
// overlapping (coupled) stands found; the summary goes to the log and the figures to the main window.
//
// Threads: run thread. The field elevation is read by the feed's reader thread (atomics).
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "airports/apf_writer.h"
#include "airports/stands.h"

// The header of the airport file just read.
struct ApfHeader {
    std::string airportName;
    std::string publisher;
    std::int32_t altitude = 0;  // feet
    // The airport's learned file (gf_learnedPathOf): the read merges it from here and the save writes it here.
    std::filesystem::path learnedPath;
};

// The header and quality factors of the park airport's file, as the park-airport reader keeps them for the
// planner and for the save of the learned file.
extern ApfHeader currentApfHeader;
extern QualityFactors currentQualityFactors;
// The file's "RT_traffic_week" (0 when absent), shown by the main window.
extern std::atomic<std::int32_t> rtTrafficWeek;
// The park airport's altitude from its file, feet (the engine reads it).
extern std::atomic<double> parkAirportAltitude;
// The field elevation the feed uses for its ground test, and whether it is known: set by a file read,
// cleared when the park airport is left.
extern std::atomic<double> fieldElevationFt;
extern std::atomic<std::uint8_t> fieldElevationKnown;

// Reads the file into currentStands (which the caller has emptied, like the header). Empty text on success;
// otherwise the error: "gf_readApf xml is empty...", "gf_readApf no park airport set", the download error,
// "{} could not be loaded: {}", "{} but refused to load, copyright problem", "no stands found", or
// "gf_readApf: " and the text of any exception. Throws ovk::UserErrorException 65 (no "altitude") and 94
// (a stand id twice).
std::string gf_readApf(const std::string& path, ApfHeader& header, QualityFactors& quality);
// Numbers the stands 1, 2, 3 ... and fills each stand's coupled ids: the stands whose circles overlap it
// (radius sum above 1.1 times the distance), in ascending id order.
void gf_numberAndCoupleStands(std::vector<ParkPos>& stands);
// The park airport is left: the field elevation mark, the file's altitude and traffic week are cleared.
void gf_leaveApf();
