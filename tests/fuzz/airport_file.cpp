// An airport parking file as the park airport's reader takes it: the file itself, and the same bytes as the
// learned file that is merged into it (handmade or not, with settings and edits); then the learned file saved
// as leaving the airport saves it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "airports/apf_lookup.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"
#include "foundation/log.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool airportSet = [] {
        fuzz::sandbox();
        CurrentAirport airport;
        airport.icao = "EGLL";
        gf_setCurrentAirport(airport);
        return true;
    }();
    (void)airportSet;
    const std::string path = "airports/my_thirdparty/EGLL.xml";
    std::filesystem::remove_all(fuzz::sandbox() / "airports" / "learned");
    fuzz::writeInput(path, data, size);
    const std::filesystem::path learned = gf_learnedPathOf(path, gf_readApfPublisher(path));
    try {
        if (!learned.empty()) fuzz::writeInput(learned, data, size);
    } catch (const std::filesystem::filesystem_error&) {
        // A name the file system refuses (too long, say): the airport is read without a learned file.
    }
    currentStands.clear();
    ApfHeader header;
    QualityFactors quality;
    try {
        gf_readApf(path, header, quality);
    } catch (const ovk::UserErrorException&) {
        // 65 and 94: reported to the user, the run ends.
    }
    // The save of what was read, as leaving the airport makes it; it throws nothing, whatever the file held.
    currentApfHeader = header;
    learnedUpdateCount = 1;
    gf_saveLearned();
    currentStands.clear();
    gf_leaveLearned();
    gf_leaveApf();
    return 0;
}
