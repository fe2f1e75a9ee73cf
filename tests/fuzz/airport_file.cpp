// An airport parking file as the park airport's reader takes it: the file itself, and the same bytes as the
// learned file that is merged into it (handmade or not, with settings and edits).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "airports/apf_lookup.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"
#include "foundation/log.h"

namespace {

void writeBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
}

// One program folder per fuzzing process, the working folder; the log stays closed.
void enterSandbox()
{
    static const bool entered = [] {
        const auto folder = std::filesystem::temp_directory_path() / ("vexa_fuzz_apf_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        CurrentAirport airport;
        airport.icao = "EGLL";
        gf_setCurrentAirport(airport);
        return true;
    }();
    (void)entered;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    enterSandbox();
    const std::string path = "airports/my_thirdparty/EGLL.xml";
    std::filesystem::remove_all("airports/learned");
    writeBytes(path, data, size);
    const std::filesystem::path learned = gf_learnedPathOf(path, gf_readApfPublisher(path));
    if (!learned.empty())
        writeBytes(learned, data, size);
    currentStands.clear();
    ApfHeader header;
    QualityFactors quality;
    try {
        gf_readApf(path, header, quality);
    } catch (const ovk::UserErrorException&) {
        // 65 and 94: reported to the user, the run ends.
    }
    currentStands.clear();
    gf_leaveLearned();
    gf_leaveApf();
    return 0;
}
