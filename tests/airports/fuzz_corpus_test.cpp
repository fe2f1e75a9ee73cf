// The seed corpus of the BGL fuzz target (tests/fuzz/corpus/bgl) is made by the BGL builder. Run with
// VEXA_WRITE_FUZZ_CORPUS=1 to write it again after the builder or the seeds change.
#include "scan_fixture.h"

#include <cstdlib>
#include <map>

namespace {

std::map<std::string, std::vector<std::uint8_t>> seeds() {
    using namespace bgl;
    std::map<std::string, std::vector<std::uint8_t>> out;
    out["airport_stands.bgl"] =
        file({section({airport("EDDF", 110947,
                               {helipad(50.05, 8.58, 30.0f), helipad(50.05, 8.58, 30.0f),
                                parkingList({{.nameCode = 10, .number = 12, .radius = 30.0f},
                                             {.nameCode = 10, .number = 12, .radius = 40.0f},
                                             {.nameCode = 12, .type = 5, .number = 3, .heading = 0.0f},
                                             {.nameCode = 2, .type = 12, .number = 4, .extraWords = 2}})})})});
    Section wide = section({airport("EDDM", 0, {})});
    wide.sizeCode = 0x10001;
    auto mode2024 =
        file({section({}, 9), wide, section({airport("EGLL", 25000, {}), other(0x113), airport("LOWW", 0, {})})});
    mode2024[0] = 0x00;  // the fuzz target reads the first byte's low bit as the simulator mode
    out["sections_2024.bgl"] = mode2024;
    out["damaged_subrecord.bgl"] = file(
        {section({airport("KJFK", 3962, {withSize(helipad(40.6, -73.7, 20.0f), 2), parkingList({{.number = 1}})})})});
    // The header claims more sections than the file holds; and a file cut off inside its second section.
    const std::vector<Section> two = {section({airport("EDDF", 0, {parkingList({{.number = 1}, {.number = 2}})})}),
                                      section({airport("EGLL", 25000, {parkingList({{.number = 3}})})})};
    out["claims_more_sections.bgl"] = file(two, {.sectionCount = 40});
    auto cut = file(two);
    cut.resize(cut.size() - 40);
    out["cut_in_second_section.bgl"] = cut;
    return out;
}

}  // namespace

TEST(FuzzCorpus, BglSeedsAreTheBuildersFiles) {
    const fs::path folder = fs::path(VEXA_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / "bgl";
    const bool write = std::getenv("VEXA_WRITE_FUZZ_CORPUS") != nullptr;
    for (const auto& [name, bytes] : seeds()) {
        if (write) bgl::write(folder / name, bytes);
        std::ifstream in(folder / name, std::ios::binary);
        const std::vector<std::uint8_t> stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(stored, bytes) << name;
    }
}
