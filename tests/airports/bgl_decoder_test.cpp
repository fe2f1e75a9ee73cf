// The BGL airport decoder on files written by the BGL builder: codes, altitude, stand names and filters,
// duplicate names, helipads, the two simulators, section flags, and damaged and hostile files.
#include "scan_fixture.h"

#include <cmath>
#include <numbers>

using bgl::Stand;

TEST(BglCodes, PackedIcaoCodes) {
    const struct {
        std::uint32_t packed;
        const char* text;
        bool valid;
    } cases[] = {
        {bgl::packIcao("EDDF"), "EDDF", true},
        {bgl::packIcao("K1A2"), "K1A2", true},
        {bgl::packIcao("Y09Z"), "Y09Z", true},
        {bgl::packIcao("EDD"), "EDD", false},          // 3 characters
        {bgl::packIcao("EDDFX"), "EDDFX", false},      // 5 characters
        {bgl::packIcao("ED F"), "ED F", false},        // a blank digit
        {bgl::packIcao("EDDF") | 0x1F, "EDDF", true},  // the low 5 bits are not part of the code
        {37u << 5, "", false},                         // below 38: no characters
        {(1u * 38 * 38 * 38 + 12 * 38 * 38 + 12 * 38 + 12) << 5, "6AAA", true},  // digit 1 reads as "6"
    };
    for (const auto& c : cases) {
        bool valid = !c.valid;
        EXPECT_EQ(lf_decodeIdentifierOrRegionCode(c.packed, valid), c.text);
        EXPECT_EQ(valid, c.valid) << c.text;
    }
}

TEST(BglCodes, NamePrefixes) {
    const struct {
        std::uint8_t code;
        const char* prefix;
    } cases[] = {{0, ""},   {1, "r"}, {3, "np"}, {5, "sep"}, {7, "swp"}, {9, "nwp"},
                 {10, "g"}, {11, ""}, {12, "A"}, {37, "Z"},  {38, "["},  {63, "t"}};
    for (const auto& c : cases) EXPECT_EQ(lf_parkingNamePrefix(c.code), c.prefix) << int(c.code);
}

TEST(BglCodes, PositionsAndTheNullBox) {
    EXPECT_NEAR(gf_bglLatitude(bgl::rawLatitude(50.0333)), 50.0333, 1e-6);
    EXPECT_NEAR(gf_bglLongitude(bgl::rawLongitude(-73.7789)), -73.7789, 1e-6);
    EXPECT_FALSE(gf_bglPositionValid(0.0005, 0.01));
    EXPECT_TRUE(gf_bglPositionValid(0.0005, -0.01));
    EXPECT_FALSE(gf_bglPositionValid(0.0, 0.0));
    EXPECT_FALSE(gf_bglPositionValid(0.0009, 0.05));  // both bounds belong to the box
    EXPECT_TRUE(gf_bglPositionValid(0.0010, 0.05));
    EXPECT_FALSE(gf_bglPositionValid(90.5, 10.0));
    EXPECT_FALSE(gf_bglPositionValid(10.0, -180.5));
}

TEST_F(ScanTest, AltitudeInFeetWithinItsRange) {
    const struct {
        std::int32_t millimetres;
        std::int32_t feet;
    } cases[] = {{110947, 364}, {-3048, -10}, {-6096, -20}, {-7000, 0}, {3048000, 10000}, {3049000, 0}, {0, 0}};
    for (const auto& c : cases) {
        generated.clear();
        EXPECT_EQ(decodeOne({}, c.millimetres).altitude, c.feet) << c.millimetres;
    }
}

TEST_F(ScanTest, AirportCodeNameAndPathReachTheHandlers) {
    const AirportPackage& p = decodeOne({bgl::parkingList({Stand{}})});
    EXPECT_EQ(p.icao, "EDDF");
    EXPECT_EQ(p.name, "Frankfurt");
    EXPECT_EQ(p.bglPath, "test.bgl");
    EXPECT_EQ(linkedCodes, (std::vector<std::string>{"EDDF"}));
}

TEST_F(ScanTest, StandNamesAndFilters) {
    const struct {
        Stand stand;
        const char* name;  // nullptr: left out
        const char* report;
    } cases[] = {
        {{.nameCode = 10, .type = 1, .number = 12}, "g12", nullptr},
        {{.nameCode = 12, .type = 2, .number = 5}, "A5", nullptr},
        {{.nameCode = 11, .type = 3, .number = 7}, "7", nullptr},
        {{.nameCode = 0, .type = 4, .number = 4095}, "4095", nullptr},
        {{.nameCode = 1, .type = 14, .number = 8, .extraWords = 3}, "r8", nullptr},  // extra words passed over
        {{.nameCode = 2, .number = 1, .radius = 1.0f}, nullptr, "skipped position with radius 1.0 meters, in test.bgl"},
        {{.nameCode = 2, .number = 2, .radius = 1.01f}, "p2", nullptr},
        {{.nameCode = 2, .number = 3, .radius = 199.9f}, "p3", nullptr},
        {{.nameCode = 2, .number = 4, .radius = 200.0f}, nullptr, "skipped position with radius 200.0 meters"},
        {{.nameCode = 2, .type = 12, .number = 5, .radius = 250.0f}, nullptr, "radius 250.0 meters"},  // radius first
        {{.nameCode = 2, .type = 0, .number = 6}, nullptr, nullptr},
        {{.nameCode = 2, .type = 12, .number = 7}, nullptr, nullptr},
        {{.nameCode = 2, .type = 13, .number = 8}, nullptr, nullptr},
        {{.nameCode = 3, .number = 9, .latitude = 0.0005, .longitude = 0.01},
         nullptr,
         "lat/lon: 0.000500,0.010000, incorrect (skipped) "},
        {{.nameCode = 3, .number = 10, .latitude = 0.0005, .longitude = -0.01}, "np10", nullptr},
        {{.nameCode = 4, .number = 11, .radius = std::nanf("")}, nullptr, "skipped position with radius NAN meters"},
    };
    std::vector<Stand> stands;
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        stands.push_back(c.stand);
        if (c.name) expected.push_back(c.name);
    }
    const AirportPackage& p = decodeOne({bgl::parkingList(stands)});
    EXPECT_EQ(names(p), expected);
    for (const auto& c : cases) {
        if (c.report) {
            EXPECT_TRUE(reportHas(c.report)) << c.report;
        }
    }
    EXPECT_EQ(gf_scanReportLines().size(), 6u);  // the five left-out lines and the stand count line
}

TEST_F(ScanTest, StandValuesAndKinds) {
    const AirportPackage& p = decodeOne({bgl::parkingList({
        {.type = 5, .number = 1, .radius = 37.04f, .heading = 0.0f, .latitude = 50.04, .longitude = 8.56},
        {.type = 8, .number = 2, .heading = 90.0f},
        {.type = 14, .number = 3, .heading = 359.5f},
        {.type = 15, .number = 4},
        {.type = 7, .number = 5},
    })});
    ASSERT_EQ(p.stands.size(), 5u);
    const ParkPos& cargo = p.stands[0];
    EXPECT_NEAR(cargo.latitude, 50.04, 1e-6);
    EXPECT_NEAR(cargo.longitude, 8.56, 1e-6);
    EXPECT_NEAR(cargo.radius, 0.02, 1e-7);  // 37.04 m
    EXPECT_DOUBLE_EQ(cargo.heading, 2 * std::numbers::pi);
    EXPECT_NEAR(p.stands[1].heading, std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(p.stands[2].heading, 359.5 * std::numbers::pi / 180, 1e-9);
    const struct { int cargo, ramp; } kinds[] = {{1, 1}, {0, 0}, {0, 1}, {0, 0}, {0, 1}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(p.stands[i].cargo, kinds[i].cargo) << i;
        EXPECT_EQ(p.stands[i].ramp, kinds[i].ramp) << i;
        EXPECT_EQ(p.stands[i].heli, 0) << i;
        EXPECT_EQ(p.stands[i].suffixMark, 0) << i;
        EXPECT_TRUE(p.stands[i].options.empty());
    }
}

TEST_F(ScanTest, DuplicateNamesAreOrderedByRadius) {
    const struct {
        std::vector<float> radii;
        std::vector<std::string> names;
    } cases[] = {
        {{10, 30, 20}, {"g12b", "g12", "g12a"}},
        {{15, 15, 15}, {"g12", "g12a", "g12b"}},  // equal radii keep the file order
        {{5, 6, 7, 8, 9, 10, 11}, {"g12f", "g12e", "g12d", "g12c", "g12b", "g12a", "g12"}},
    };
    for (const auto& c : cases) {
        generated.clear();
        std::vector<Stand> stands;
        for (float r : c.radii) stands.push_back({.nameCode = 10, .number = 12, .radius = r});
        stands.push_back({.nameCode = 10, .number = 13});  // another name stays as it is
        std::vector<std::string> expected = c.names;
        expected.push_back("g13");
        EXPECT_EQ(names(decodeOne({bgl::parkingList(stands)})), expected);
    }

    generated.clear();
    std::vector<Stand> eight(8, Stand{.nameCode = 10, .number = 12});
    EXPECT_EQ(decodeOne({bgl::parkingList(eight)}).stands.size(), 7u);
    EXPECT_TRUE(reportHas("===> Warning more then 6 the same ids g12, in test.bgl"));
}

TEST_F(ScanTest, HelipadsAreNumberedAndDoublesSkipped) {
    const AirportPackage& p = decodeOne({
        bgl::helipad(50.05, 8.58, 30.0f),
        bgl::other(0x99, 6),
        bgl::helipad(50.05, 8.58, 30.0f),
        bgl::helipad(0.0005, 0.01, 30.0f),
        bgl::helipad(50.06, 8.59, std::nanf("")),
        bgl::parkingList({Stand{.number = 1}}),
    });
    EXPECT_EQ(names(p), (std::vector<std::string>{"helipad1", "helipad2", "1"}));
    EXPECT_EQ(generated.front().helipads, 2);
    EXPECT_EQ(p.stands[0].heli, 1);
    EXPECT_EQ(p.stands[0].ramp, 0);
    EXPECT_DOUBLE_EQ(p.stands[0].heading, 0.0);
    EXPECT_NEAR(p.stands[0].radius * 1852.0, 15.0, 1e-9);
    EXPECT_DOUBLE_EQ(p.stands[1].radius, 0.0);  // a size that is no number
    EXPECT_TRUE(reportHas("double helipad Frankfurt (skipped) 50.050000,8.580000"));
    EXPECT_TRUE(reportHas("lat/lon helipad incorrect (skipped): 0.000500,0.010000"));
}

TEST_F(ScanTest, OnlyTheFirstParkingListOfAnAirportIsRead) {
    const AirportPackage& p = decodeOne({bgl::parkingList({Stand{.number = 1}}), bgl::parkingList({Stand{.number = 2}}),
                                         bgl::helipad(50.05, 8.58, 30.0f)});
    EXPECT_EQ(names(p), (std::vector<std::string>{"1"}));
}

TEST_F(ScanTest, ArchivedAirportsAndTheStandCountLine) {
    const auto airportFile =
        bgl::file({bgl::section({bgl::airport("EGLL", 0, {bgl::parkingList({{.number = 1}, {.number = 2}})})})});
    const struct {
        bool mode2020;
        bool linked;
        const char* publisher;
        std::int32_t archived;
        bool generates;
        bool countLine;
    } cases[] = {
        {true, false, "unknown", 0, true, true},
        {true, true, "Aerosoft", 1, true, true},  // more stands than the archive: generated too
        {true, true, "Aerosoft", 2, false, false},
        {true, true, "simaddon", 0, false, false},
        {true, false, "simaddon", 0, true, false},
        {false, true, "Aerosoft", 1, false, false},  // 2024: a linked airport is not decoded
        {false, false, "unknown", 0, true, true},
    };
    for (const auto& c : cases) {
        generated.clear();
        gf_resetScanReport();
        MSFS_2020.value = c.mode2020;
        linkAnswer = c.linked;
        publisher = c.publisher;
        archivedStands = c.archived;
        decode(airportFile);
        EXPECT_EQ(generated.size(), c.generates ? 1u : 0u) << c.publisher << c.archived;
        EXPECT_EQ(reportHas("===> EGLL has 2 parkpos while archived one has " + std::to_string(c.archived)),
                  c.countLine)
            << c.publisher << c.archived;
    }
}

TEST_F(ScanTest, UndecodableAirportsOfThe2024Simulator) {
    const auto bytes =
        bgl::file({bgl::section({bgl::airport("EDDF", 0, {}), bgl::other(0x113), bgl::airport("EGLL", 0, {})}),
                   bgl::section({bgl::airport("LOWW", 0, {})})});
    decode(bytes, "x/EDDF.bgl");
    EXPECT_EQ(linkedCodes, (std::vector<std::string>{"EDDF", "EGLL", "LOWW"}));
    EXPECT_TRUE(unrecognised.empty());

    linkedCodes.clear();
    MSFS_2020.value = false;
    decode(bytes, "x/EDDF.bgl");
    EXPECT_EQ(linkedCodes, (std::vector<std::string>{"EDDF"}));
    EXPECT_EQ(unrecognised, (std::vector<std::string>{"x/EDDF.bgl"}));
}

TEST_F(ScanTest, SectionsAndSubsectionsThatAreRead) {
    bgl::Section wide = bgl::section({bgl::airport("EDDM", 0, {})});
    wide.sizeCode = 0x10001;  // bit 16: 20-byte subsection entries
    bgl::Section twoSubsections = bgl::section({bgl::airport("EDDF", 0, {})});
    twoSubsections.laterSubsections = {{bgl::airport("EDDH", 0, {})}};
    bgl::Section fortyK = bgl::section({bgl::airport("EDDK", 0, {})});
    fortyK.sizeCode = 0x40000;
    const auto bytes =
        bgl::file({bgl::section({bgl::airport("LFPG", 0, {})}, 5), wide, twoSubsections, fortyK,
                   bgl::section({bgl::other(0x22), bgl::airport("ED", 0, {}), bgl::airport("EGLL", 0, {})})});
    decode(bytes);
    EXPECT_EQ(linkedCodes, (std::vector<std::string>{"EDDF", "EDDK", "EGLL"}));
}

TEST_F(ScanTest, ProbeNeedsHeaderTableAndAnAirportSection) {
    const auto good = bgl::file({bgl::section({}, 9), bgl::section({bgl::airport("EDDF", 0, {})})});
    const auto noAirports = bgl::file({bgl::section({bgl::other(0x22)}, 9)});
    auto headerOnly = good;
    headerOnly.resize(56 + 40);  // the table ends where the file ends
    auto lyingCount = good;
    lyingCount[20] = lyingCount[21] = lyingCount[22] = lyingCount[23] = 0xFF;
    const auto noSections = bgl::file({}, {.sectionCount = 0});
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool airport;
    } cases[] = {
        {"good", good, true},
        {"no airport section", noAirports, false},
        {"table fills the file", headerOnly, false},
        {"4 billion sections", lyingCount, true},  // the entries that lie in the file are read
        {"no sections", noSections, false},
        {"55 bytes", std::vector<std::uint8_t>(good.begin(), good.begin() + 55), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) {
        const fs::path path = dir / (std::string(c.name) + ".bgl");
        bgl::write(path, c.bytes);
        EXPECT_EQ(lf_isAirportBgl(path), c.airport) << c.name;
        EXPECT_EQ(lf_isAirportBglHead(c.bytes.data(), c.bytes.size(), c.bytes.size()), c.airport) << c.name;
    }
    EXPECT_FALSE(lf_isAirportBgl(dir / "missing.bgl"));
}

TEST_F(ScanTest, SectionsBeforeTheEndOfTheFileAreDecodedWhenTheHeaderClaimsMore) {
    using bgl::Stand;
    const std::vector<bgl::Section> sections = {
        bgl::section({}, 9), bgl::section({bgl::airport("EDDF", 0, {bgl::parkingList({Stand{.number = 1}})})}),
        bgl::section({bgl::airport("EGLL", 0, {bgl::parkingList({Stand{.number = 2}})})})};
    const struct {
        const char* name;
        std::uint32_t claimed;
        bool throws;
    } cases[] = {
        {"as many as it holds", 3, false},
        {"a table longer than the file", 40, true},  // entries beyond the third are read from what follows
        {"4 billion", 0xFFFFFFFF, true},
    };
    for (const auto& c : cases) {
        linkedCodes.clear();
        const auto bytes = bgl::file(sections, {.sectionCount = c.claimed});
        bool threw = false;
        try {
            decode(bytes);
        } catch (const std::out_of_range&) {
            threw = true;
        }
        EXPECT_EQ(threw, c.throws) << c.name;
        // The airports of the complete sections, each once, and nothing decoded from their data as a section.
        EXPECT_EQ(linkedCodes, (std::vector<std::string>{"EDDF", "EGLL"})) << c.name;
    }

    // Through the probe and the decoding task, as the scan runs them: the airports are handed on, the file's
    // failure is logged and passed on.
    const fs::path path = dir / "claims_more.bgl";
    bgl::write(path, bgl::file(sections, {.sectionCount = 40}));
    EXPECT_TRUE(lf_isAirportBgl(path));
    generated.clear();
    taskCount = 1;
    EXPECT_THROW(lf_toParkingPositions(path, handlers()), std::out_of_range);
    EXPECT_EQ(taskCount.load(), 0);
    std::vector<std::string> generatedCodes;
    for (const Generated& g : generated) generatedCodes.push_back(g.package.icao);
    EXPECT_EQ(generatedCodes, (std::vector<std::string>{"EDDF", "EGLL"}));
    EXPECT_NE(logText().find("===> Exception in lf_toParkingPositions: " + path.string()), std::string::npos);
}

TEST_F(ScanTest, EveryTruncationEndsWithoutReadingPastTheEnd) {
    const auto bytes =
        bgl::file({bgl::section({bgl::airport("EDDF", 1000,
                                              {bgl::helipad(50.05, 8.58, 30.0f),
                                               bgl::parkingList({{.number = 1}, {.number = 2, .extraWords = 2}})}),
                                 bgl::airport("EGLL", 0, {bgl::parkingList({{.number = 3}})})})});
    decode(bytes);
    ASSERT_EQ(generated.size(), 2u);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + length);
        try {
            decode(cut);
        } catch (const std::out_of_range&) {}
    }
}

TEST_F(ScanTest, HostileSizesEndTheWalk) {
    using bgl::withSize;
    const auto list = bgl::parkingList({{.number = 1}, {.number = 2}});
    auto longList = list;  // claims 40 entries, holds 2
    longList[1] = (longList[1] & 0xFFFF) | (40u << 16);
    const struct {
        const char* name;
        std::vector<bgl::Record> records;
        std::size_t airports;
        std::size_t stands;
    } cases[] = {
        {"record size 0", {withSize(bgl::other(0x22), 0), bgl::airport("EDDF", 0, {})}, 0, 0},
        {"record size 3", {withSize(bgl::other(0x22), 3), bgl::airport("EDDF", 0, {})}, 0, 0},
        {"negative record size", {withSize(bgl::other(0x22), -8), bgl::airport("EDDF", 0, {})}, 0, 0},
        {"sub-record size 0", {bgl::airport("EDDF", 0, {withSize(bgl::helipad(1, 1, 1), 0), list})}, 1, 0},
        {"sub-record size 2", {bgl::airport("EDDF", 0, {withSize(bgl::helipad(1, 1, 1), 2), list})}, 1, 0},
        {"entries beyond their list", {bgl::airport("EDDF", 0, {longList}), bgl::airport("EGLL", 0, {list})}, 2, 4},
        {"short airport record", {withSize(bgl::airport("EDDF", 0, {list}), 48)}, 1, 0},
    };
    for (const auto& c : cases) {
        generated.clear();
        try {
            decode(bgl::file({bgl::section(c.records)}));
        } catch (const std::out_of_range&) {}
        std::size_t stands = 0;
        for (const auto& g : generated) stands += g.package.stands.size();
        EXPECT_EQ(generated.size(), c.airports) << c.name;
        EXPECT_EQ(stands, c.stands) << c.name;
    }

    // Offsets beyond the file raise the decoder's range error.
    auto bytes = bgl::file({bgl::section({bgl::airport("EDDF", 0, {})})});
    auto farOffset = bytes;
    farOffset[56 + 12] = farOffset[56 + 13] = farOffset[56 + 14] = 0xF0;
    EXPECT_THROW(decode(farOffset), std::out_of_range);
    auto manySections = bytes;
    manySections[20] = 200;
    EXPECT_THROW(decode(manySections), std::out_of_range);
    auto wrongHeader = bytes;
    wrongHeader[4] = 60;
    linkedCodes.clear();
    decode(wrongHeader);
    EXPECT_TRUE(linkedCodes.empty());
}

TEST_F(ScanTest, TheTaskLowersTheTaskCountOnEveryWayOut) {
    const fs::path good = dir / "good.bgl";
    bgl::write(good, bgl::file({bgl::section({bgl::airport("EDDF", 0, {bgl::parkingList({Stand{}})})})}));
    auto hostile = bgl::file({bgl::section({bgl::airport("EDDF", 0, {})})});
    hostile[56 + 12] = 0xF0;
    hostile[56 + 13] = 0xF0;
    const fs::path bad = dir / "bad.bgl";
    bgl::write(bad, hostile);

    taskCount = 3;
    lf_toParkingPositions(good, handlers());
    EXPECT_EQ(generated.size(), 1u);
    lf_toParkingPositions(dir / "missing.bgl", handlers());
    EXPECT_THROW(lf_toParkingPositions(bad, handlers()), std::out_of_range);
    EXPECT_EQ(taskCount.load(), 0);
    EXPECT_NE(logText().find("===> Exception in lf_toParkingPositions: " + bad.string()), std::string::npos);
}

TEST_F(ScanTest, RealFilesOfAnotherSimulatorHoldNoAirport) {
    // Shared test data beside the project: <project>/../shared/data.
    const fs::path folder =
        (fs::path(VEXA_SOURCE_DIR) / ".." / "shared" / "data" / "bglreader-ktst").lexically_normal();
    const char* files[] = {"KTST_TestAirport_v5.BGL", "KTST_TestAirport_v6.bgl"};
    for (const char* name : files)
        if (!fs::is_regular_file(folder / name))
            GTEST_SKIP() << "Not tested: the shared test file " << (folder / name).string()
                         << " is not there (the folder shared/data beside the project holds it)";
    for (const char* name : files) {
        const fs::path path = folder / name;
        EXPECT_TRUE(lf_isAirportBgl(path)) << name;  // an airport section, of records this decoder does not read
        taskCount = 1;
        EXPECT_NO_THROW(lf_toParkingPositions(path, handlers())) << name;
        EXPECT_EQ(taskCount.load(), 0);
    }
    EXPECT_TRUE(linkedCodes.empty());
    EXPECT_TRUE(generated.empty());
    EXPECT_TRUE(gf_scanReportLines().empty());
}
