// Reading the park airport's file: sources, refusals, user errors, numbering and coupling, the summary, and
// the round trip through the writer.
#include "tests/airports/airports_fixture.h"

#include "airports/apf_lookup.h"
#include "airports/apf_writer.h"
#include "foundation/download.h"
#include "foundation/geodesy.h"
#include "platform/ui/ui.h"
#include "shell/display.h"

namespace {

struct ReadResult {
    std::string error;
    ApfHeader header;
    QualityFactors quality;
};

ReadResult read(const std::string& path) {
    ReadResult r;
    currentStands.clear();
    r.error = gf_readApf(path, r.header, r.quality);
    return r;
}

std::string userError(const std::string& path) {
    try {
        read(path);
    } catch (const ovk::UserErrorException& e) {
        return e.what();
    }
    return "no user error";
}

}  // namespace

TEST_F(AirportsTest, ReaderRefusesWhatItCannotRead) {
    EXPECT_EQ(read("").error, "gf_readApf xml is empty...");
    EXPECT_EQ(read("airports/x.xml").error, "gf_readApf no park airport set");
    setParkAirport("EGLL");
    EXPECT_EQ(read("airports/missing.xml").error.rfind("airports/missing.xml could not be loaded: ", 0), 0u);
    writeText("airports/nometa.xml", apfText({{"altitude", "1"}}, stand("A", 0), ""));
    EXPECT_EQ(read("airports/nometa.xml").error, "airports/nometa.xml but refused to load, copyright problem");
    writeText("airports/noversion.xml",
              apfText({{"altitude", "1"}}, stand("A", 0),
                      R"(<meta><info name="author" value="a"/><info name="date" value="d"/></meta>)"));
    EXPECT_EQ(read("airports/noversion.xml").error, "airports/noversion.xml but refused to load, copyright problem");
    EXPECT_TRUE(currentStands.empty());
    EXPECT_TRUE(logHas("===> meta data incorrect?"));
    EXPECT_EQ(read("archive/stock/ZZZZ.xml").error,
              "failed to download: \"" + gf_downloadBaseUrl(true) + "archive/stock/ZZZZ.xml\"");
    writeText("airports/empty.xml", apfText({{"altitude", "1"}}, ""));
    EXPECT_EQ(read("airports/empty.xml").error, "no stands found");
    EXPECT_TRUE(logHas("Airport file read from \"airports/empty.xml\" for "));
}

TEST_F(AirportsTest, ReaderUserErrorsForAltitudeAndRepeatedStands) {
    setParkAirport("EGLL");
    writeText("airports/a.xml", apfText({}, stand("A", 0)));
    EXPECT_EQ(userError("airports/a.xml"), "65: Parameter altitude not found");
    writeText("airports/b.xml", "<?xml version=\"1.0\"?>" + kMeta +
                                    "<parameters><parameter name=\"altitude\"/></parameters><parkpositions>" +
                                    stand("A", 0) + "</parkpositions>");
    const ReadResult ok = read("airports/b.xml");
    EXPECT_EQ(ok.error, "");
    EXPECT_EQ(ok.header.altitude, 0);
    writeText("airports/c.xml",
              apfText({{"altitude", "1"}}, stand("A", 0) + "<parkpos id=\"A\" latitude=\"0\" longitude=\"0\"/>"));
    EXPECT_EQ(userError("airports/c.xml"), "94: Parking position A appears more than once?");
}

TEST_F(AirportsTest, StockFileIsDownloadedAndReadWithItsSummary) {
    setParkAirport("EDDF");
    writeText(
        server() / "MSFS" / "archive" / "stock" / "EDDF.xml",
        apfText({{"airport_name", "Frankfurt"}, {"publisher", "stock"}, {"altitude", "364"}, {"RT_traffic_week", "30"}},
                stand("V1", 0) + stand("V2", 30) + stand("V3", 70)));
    MSFS_2020.value = false;  // stock files come from the MSFS folder whatever the simulator
    parking_percentage.value = 55;
    const ReadResult r = read("archive/stock/EDDF.xml");
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(fs::exists("airports/park_airport.xml"));
    EXPECT_EQ(r.header.airportName, "Frankfurt");
    EXPECT_EQ(r.header.publisher, "stock");
    EXPECT_EQ(r.header.altitude, 364);
    EXPECT_EQ(r.quality, (QualityFactors{-1, -1}));
    EXPECT_EQ(parking_percentage.value.load(), 30);  // no learned file
    EXPECT_EQ(rtTrafficWeek.load(), 30);
    EXPECT_DOUBLE_EQ(parkAirportAltitude.load(), 364.0);
    EXPECT_EQ(fieldElevationKnown.load(), 1);
    EXPECT_DOUBLE_EQ(fieldElevationFt.load(), 364.0);
    EXPECT_EQ(parkingActive.load(), 1);
    ASSERT_EQ(currentStands.size(), 3u);
    // Stands of 20 m: 30 m apart they overlap (40 > 33), 40 m apart they do not (40 < 44).
    EXPECT_EQ(currentStands[0].id, 1u);
    EXPECT_EQ(currentStands[0].coupledIds, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(currentStands[1].coupledIds, (std::vector<std::uint32_t>{1}));
    EXPECT_TRUE(currentStands[2].coupledIds.empty());
    EXPECT_EQ(mainWindow.standCount.load(), 3u);
    EXPECT_EQ(mainWindow.airportSourceText.get(), "stock");
    EXPECT_FALSE(mainWindow.airportFileMark.load());
    EXPECT_EQ(mainWindow.qualityText.get(), "  ");
    EXPECT_EQ(mainWindow.trafficWeek.load(), 30);
    for (const char* line : {"Airport file read from \"archive/stock/EDDF.xml\" for Frankfurt",
                             "          publisher               : stock", "          altitude                : 364 ft",
                             "          num_parkpos             : 3", "          quality factor          :   ",
                             "          RT traffic week         : 30", "          parking_percentage      : 30%"})
        EXPECT_TRUE(logHas(line)) << line;

    // Leaving the airport clears the feed's field elevation.
    gf_removeStaticParked();
    EXPECT_EQ(fieldElevationKnown.load(), 0);
    EXPECT_EQ(parkingActive.load(), 0);
}

TEST_F(AirportsTest, CouplingIsSymmetricAndOrderedOnAnyLayout) {
    std::vector<ParkPos> stands;
    // A grid with stands of mixed sizes; the sweep must find exactly the pairs the full comparison finds.
    for (int i = 0; i < 60; ++i)
        stands.emplace_back(std::to_string(i), std::vector<StandOption>{}, 47.0 + (i % 7) * 0.0002 + (i % 3) * 1e-9,
                            8.0 + (i / 7) * 0.0003, 0.0, 10.0 + (i % 5) * 8.0, 1, 1, 1);
    // Across the date line and near the pole, where longitudes are far apart or shrink to nothing.
    for (int i = 0; i < 8; ++i) {
        stands.emplace_back("D" + std::to_string(i), std::vector<StandOption>{}, -33.0 + i * 0.0001,
                            i % 2 ? 179.99995 : -179.99995, 0.0, 30.0, 1, 1, 1);
        stands.emplace_back("P" + std::to_string(i), std::vector<StandOption>{}, 89.9995 + i * 0.00003, i * 45.0, 0.0,
                            30.0, 1, 1, 1);
    }
    gf_numberAndCoupleStands(stands);
    for (const ParkPos& a : stands) {
        std::vector<std::uint32_t> want;
        for (const ParkPos& b : stands)
            if (a.id != b.id &&
                a.radius + b.radius > 1.1 * gf_distanceNm({a.latitude, a.longitude}, {b.latitude, b.longitude}))
                want.push_back(b.id);
        EXPECT_EQ(a.coupledIds, want) << a.name;
    }
}

TEST_F(AirportsTest, GeneratedFileRoundTripsThroughWriterAndReader) {
    setParkAirport("LSZH");
    AirportPackage record;
    record.icao = "LSZH";
    record.name = "Zurich";
    record.publisher = "simaddon";
    record.altitude = 1417;
    record.stands.emplace_back("A1", std::vector<StandOption>{}, 47.451234, 8.561234, 1.5707963267948966, 18.5, 0, 1,
                               1);
    record.stands.emplace_back("H1", std::vector<StandOption>{}, 47.452, 8.562, 0.0, 12.0, 1, 0, 0);
    fs::create_directories("airports/ve_zuzuvado");
    ASSERT_TRUE(gf_writeApf(record, "airports/ve_zuzuvado/LSZH.xml", apfGenerated));
    const ReadResult r = read("airports/ve_zuzuvado/LSZH.xml");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.header.altitude, 1417);
    ASSERT_EQ(currentStands.size(), 2u);
    EXPECT_DOUBLE_EQ(currentStands[0].latitude, 47.451234);
    EXPECT_NEAR(currentStands[0].heading, M_PI / 2, 1e-12);
    EXPECT_DOUBLE_EQ(currentStands[0].radius, 18.5 / 1852.0);
    EXPECT_EQ(currentStands[0].cargo, 1);
    EXPECT_EQ(currentStands[0].ramp, 0);
    EXPECT_EQ(currentStands[1].heli, 1);
    EXPECT_EQ(currentStands[1].cargo, 0);
    EXPECT_EQ(currentStands[1].ramp, 1);
}

TEST_F(AirportsTest, StandsOffTheGlobeAreDroppedByEveryReader) {
    auto at = [](const std::string& id, const std::string& lat, const std::string& lon, const std::string& extra = "") {
        return fmt::format(R"(<parkpos id="{}" latitude="{}" longitude="{}" radius="20" {}/>)", id, lat, lon, extra) +
               "\n";
    };
    const std::string offGlobe = at("N", "90.5", "8") + at("S", "-91", "8") + at("E", "47", "180.01") +
                                 at("W", "47", "-200") + at("BIG", "1e300", "8");
    const std::string edges =
        at("NP", "90", "0.1") + at("SP", "-90", "0.1") + at("DL", "47", "180") + at("DW", "47", "-180");
    const std::vector<std::string> dropped{"N", "S", "E", "W", "BIG"};
    const std::vector<std::string> kept{"NP", "SP", "DL", "DW"};
    auto names = [] {
        std::vector<std::string> n;
        for (const ParkPos& s : currentStands) n.push_back(s.name);
        return n;
    };
    auto droppedLogged = [&] {
        for (const std::string& id : dropped)
            EXPECT_TRUE(logHas("===> stand " + id + " has no valid position or radius")) << id;
    };
    setParkAirport("EGLL");

    // The airport file.
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "1"}}, offGlobe + edges));
    ASSERT_EQ(read("airports/my_thirdparty/EGLL.xml").error, "");
    EXPECT_EQ(names(), kept);
    droppedLogged();
    // 180 and -180 are one meridian: those two stands overlap, the poles overlap nothing.
    EXPECT_EQ(currentStands[2].coupledIds, (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(currentStands[3].coupledIds, (std::vector<std::uint32_t>{3}));
    EXPECT_TRUE(currentStands[0].coupledIds.empty());
    EXPECT_TRUE(currentStands[1].coupledIds.empty());

    // Stands made by hand in a learned file.
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "1"}}, stand("A1", 0)));
    std::string manual;
    for (const std::string id : {"N", "S", "E", "W"})
        manual += at("M" + id, id == "N" ? "95" : "-95", "8", "manual=\"true\"");
    writeText("airports/learned/thirdparty/Pub/EGLL.xml",
              apfText({}, manual + at("MOK", "47", "8.1", "manual=\"true\"")));
    ASSERT_EQ(read("airports/my_thirdparty/EGLL.xml").error, "");
    EXPECT_EQ(names(), (std::vector<std::string>{"A1", "MOK"}));
    EXPECT_TRUE(logHas("manually created standid MN misses correct attributes in"));

    // A handmade file.
    writeText("airports/learned/thirdparty/Pub/EGLL.xml", apfText({{"handmade", "true"}}, offGlobe + edges));
    ASSERT_EQ(read("airports/my_thirdparty/EGLL.xml").error, "");
    EXPECT_EQ(names(), kept);
}

TEST_F(AirportsTest, FileWithoutParkpositionsHasNoStands) {
    setParkAirport("EGLL");
    writeText("airports/bare.xml", "<?xml version=\"1.0\"?>\n" + kMeta +
                                       "<parameters><parameter name=\"altitude\" value=\"7\"/></parameters>\n");
    const ReadResult r = read("airports/bare.xml");
    EXPECT_EQ(r.error, "no stands found");
    EXPECT_TRUE(currentStands.empty());
    EXPECT_TRUE(logHas("Airport file read from \"airports/bare.xml\" for "));
    EXPECT_TRUE(logHas("          num_parkpos             : 0"));
    // A learned file without stands still brings its settings.
    writeText("airports/learned/bare.xml", "<?xml version=\"1.0\"?>\n" + kMeta +
                                               "<parameters><parameter name=\"WEEK\" value=\"true\"/></parameters>\n");
    WEEK.value = false;
    EXPECT_EQ(read("airports/bare.xml").error, "no stands found");
    EXPECT_TRUE(WEEK.value.load());
}

namespace {
struct NoEvents : ui::WindowHandler {};
}  // namespace

TEST_F(AirportsTest, WithoutLearnedFileTheParkingPercentageFieldIsDisabledAtThirty) {
    NoEvents handler;
    std::unique_ptr<ui::Window> window = ui::createWindow(handler, ui::Backend::headless);
    ASSERT_TRUE(window->create("test", 0, 0, 400, 300));
    ASSERT_TRUE(
        window->addControl(ui::ControlKind::editField, parking_percentage.controlId, ui::Rect{0, 0, 40, 20}, "", true));
    mainWindow.window.store(window.get());
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "1"}}, stand("A1", 0)));
    parking_percentage.value = 55;
    const ReadResult r = read("airports/my_thirdparty/EGLL.xml");
    mainWindow.window.store(nullptr);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(parking_percentage.value.load(), 30);
    EXPECT_FALSE(window->enabled(parking_percentage.controlId));
    EXPECT_EQ(window->text(parking_percentage.controlId), "30");
}
