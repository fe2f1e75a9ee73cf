// The airport database and names, display texts, and where an airport's parking file comes from.
#include "tests/airports/airports_fixture.h"

#include "airports/apf_lookup.h"
#include "foundation/download.h"

namespace {

std::string userError(const std::function<void()>& call) {
    try {
        call();
    } catch (const ovk::UserErrorException& e) {
        return e.what();
    }
    return "no user error";
}

}  // namespace

TEST_F(AirportsTest, DatabaseLoadsOnceSortedByCode) {
    writeText("input/airports_msfs.xml", R"(<?xml version="1.0"?><airports>
        <airport code="LSZH" iata="ZRH" lat="47.46" lon="8.55" alt=" 1417ft"/>
        <note/>
        <airport code="EGLL" iata="LHR" lat="51.47" lon="-0.46" alt="83"/>
        <airport code="EGL" lat="1" lon="2" alt="3"/></airports>)");
    EXPECT_TRUE(gf_readAirports());
    ASSERT_EQ(airportList.size(), 3u);
    EXPECT_EQ(airportList[0].icao, "EGL");
    EXPECT_EQ(airportList[1].icao, "EGLL");
    EXPECT_DOUBLE_EQ(airportList[2].altitude, 1417.0);
    EXPECT_EQ(airportList.capacity(), 3u);
    EXPECT_TRUE(logHas("3 airports read from \"input/airports_msfs.xml\""));
    fs::remove("input/airports_msfs.xml");
    EXPECT_TRUE(gf_readAirports());  // loaded once: the file is not read again
    EXPECT_EQ(airportList.size(), 3u);
    EXPECT_EQ(gf_findAirport("EGLL")->iata, "LHR");
    EXPECT_FALSE(gf_findAirport("egll"));
}

TEST_F(AirportsTest, DatabaseErrorsLeaveAnEmptyListForTheRetry) {
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "88: input/airports_msfs.xml not loaded "},
        {"<nothing/>", "88: input/airports_msfs.xml not found"},
        {R"(<airports><airport code="A" lat="1" lon="2" alt="3"/><airport code="B" lat="1" lon="2"/></airports>)",
         "88: invalid stod argument"},
        {R"(<airports><airport code="A" lat="1e999" lon="2" alt="3"/></airports>)", "88: stod argument out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        gf_resetAirports();
        fs::remove("input/airports_msfs.xml");
        if (!c.text.empty()) writeText("input/airports_msfs.xml", c.text);
        EXPECT_EQ(userError([] { gf_readAirports(); }).rfind(c.error, 0), 0u);
        EXPECT_TRUE(airportList.empty());
        EXPECT_FALSE(airportsLoaded);
    }
    writeText("input/airports_msfs.xml", R"(<airports><airport code="A" lat="1" lon="2" alt="3"/></airports>)");
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(airportList.size(), 1u);
}

TEST_F(AirportsTest, NamesKeepTheFirstNameOfACode) {
    EXPECT_FALSE(gf_readAirportNames());
    EXPECT_TRUE(logHas("0 airport names read from \"input/airports_msfs_names.xml\""));
    writeText("input/airports_msfs_names.xml", R"(<AirportNames><airport ICAO="EGLL" name="Heathrow"/>
        <airport ICAO="EGLL" name="London"/><airport name="no code"/></AirportNames>)");
    EXPECT_TRUE(gf_readAirportNames());
    EXPECT_EQ(airportNames.at("EGLL"), "Heathrow");
    EXPECT_EQ(airportNames.at(""), "no code");
}

TEST_F(AirportsTest, DisplayTextsAndCodeTests) {
    EXPECT_EQ(gf_parkAirportText(Airport{"EGLL", "LHR"}), "EGLL (LHR)");
    EXPECT_EQ(gf_parkAirportText(Airport{"EGLL", ""}), "EGLL");
    EXPECT_EQ(gf_parkAirportText(Airport{}), "?");
    EXPECT_EQ(gf_parkAirportText(Airport{"", "LHR"}), "? (LHR)");
    Airport egll;
    egll.icao = "EGLL";
    EXPECT_TRUE(gf_mentionsAirportCode("author-airport-egll-heathrow", egll));
    EXPECT_TRUE(gf_mentionsAirportCode("x-EGLL-y", egll));
    EXPECT_FALSE(gf_mentionsAirportCode("egll-heathrow", egll));

    std::int32_t number = -1;
    const lf_numberAfterCode after("Pub", "EGLL", number);
    EXPECT_FALSE(after("LSZH2"));
    EXPECT_TRUE(after("EGLL12x"));
    EXPECT_EQ(number, 12);
    EXPECT_TRUE(after("EGLLx"));
    EXPECT_EQ(number, 12);
    EXPECT_TRUE(logHas("===> Pub EGLL EGLLx invalid number"));
    EXPECT_EQ(gf_xmlName("EGLL"), "EGLL.xml");
    EXPECT_EQ(gf_txtPath("EGLL"), fs::path("EGLL.txt"));
}

TEST_F(AirportsTest, ParkingFileLookupOrder) {
    const fs::path stock = server() / "MSFS" / "archive" / "stock" / "EGLL.xml";
    struct Case {
        std::string name;
        std::vector<std::pair<std::string, std::string>> files;  // path -> content
        bool stockOnServer;
        std::string want;
    } cases[] = {
        {"nothing anywhere", {}, false, ""},
        {"stock file", {}, true, "archive/stock/EGLL.xml"},
        {"add-on file", {{"airports/ve_zuzuvado/EGLL.xml", "x"}}, true, "airports/ve_zuzuvado/EGLL.xml"},
        {"add-on pointer before add-on file",
         {{"airports/ve_zuzuvado/EGLL.xml", "x"}, {"airports/ve_zuzuvado/EGLL.txt", "archive/simaddon/EGLL.xml  \r\n"}},
         true,
         "archive/simaddon/EGLL.xml"},
        {"publisher file before add-on files",
         {{"airports/ve_zuzuvado/EGLL.txt", "archive/simaddon/EGLL.xml"}, {"airports/my_thirdparty/EGLL.xml", "x"}},
         true,
         "airports/my_thirdparty/EGLL.xml"},
        {"publisher pointer first",
         {{"airports/my_thirdparty/EGLL.xml", "x"},
          {"airports/my_thirdparty/EGLL.txt", "archive/thirdparty/A%20B/EGLL.xml\n2"}},
         true,
         "archive/thirdparty/A%20B/EGLL.xml"},
        {"pointer without a path is passed over",
         {{"airports/my_thirdparty/EGLL.txt", "no name here\n"}, {"airports/ve_zuzuvado/EGLL.xml", "x"}},
         true,
         "airports/ve_zuzuvado/EGLL.xml"},
        {"empty pointer is passed over", {{"airports/my_thirdparty/EGLL.txt", ""}}, true, "archive/stock/EGLL.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("airports");
        fs::remove(stock);
        for (const auto& [path, text] : c.files) writeText(path, text);
        if (c.stockOnServer) writeText(stock, "stock");
        EXPECT_EQ(gf_apfPathOf("EGLL"), c.want);
        EXPECT_EQ(gf_airportFileAvailable("EGLL"), !c.want.empty() || !c.files.empty());
        EXPECT_FALSE(fs::exists("EGLL.xml"));  // the probe leaves nothing behind
    }
    std::string target = "kept";
    writeText("p.txt", "abc");
    EXPECT_FALSE(lf_readPointerFile("p.txt", target));
    EXPECT_FALSE(lf_readPointerFile("missing.txt", target));
    EXPECT_EQ(target, "kept");
}

TEST_F(AirportsTest, DownloadsTakeTheirServerFolder) {
    writeText(server() / "MSFS" / "archive" / "stock" / "EGLL.xml", "stock file");
    writeText(server() / "MSFS" / "archive" / "simaddon" / "EGLL.xml", "simaddon file");
    writeText(server() / "MSFS2024" / "archive" / "thirdparty" / "Some Pub" / "EGLL.xml", "2024 publisher file");
    MSFS_2020.value = false;
    EXPECT_EQ(gf_downloadApf("archive/stock/EGLL.xml", "a.xml"), "");
    EXPECT_EQ(readText("a.xml"), "stock file");
    EXPECT_EQ(gf_downloadApf("archive/simaddon/EGLL.xml", "a.xml"), "");
    EXPECT_EQ(readText("a.xml"), "simaddon file");
    EXPECT_EQ(gf_downloadApf("archive/thirdparty/Some%20Pub/EGLL.xml", "a.xml"), "");
    EXPECT_EQ(readText("a.xml"), "2024 publisher file");
    MSFS_2020.value = true;
    const std::string error = gf_downloadApf("archive/thirdparty/Some%20Pub/EGLL.xml", "a.xml");
    EXPECT_EQ(error,
              "failed to download: \"" + gf_downloadServerUrl() + "MSFS/archive/thirdparty/Some%20Pub/EGLL.xml\"");
    EXPECT_TRUE(logHas(error));
    EXPECT_TRUE(gf_stockFileOnServer("EGLL"));
    EXPECT_FALSE(gf_stockFileOnServer("LSZH"));
}

TEST_F(AirportsTest, ClosestStandOfADestination) {
    writeText(server() / "MSFS" / "archive" / "stock" / "EGLL.xml",
              apfText({{"altitude", "83"}}, stand("S1", 0) + stand("S2", 1000) + stand("S3", 1000)));
    std::string name = "none";
    const double d = gf_readDestApfForClosestStand("EGLL", LatLon{47.0 + 900.0 / 1852.0 / 60.0, 8.0}, name);
    EXPECT_NEAR(d, 100.0 / 1852.0, 1e-4);  // 100 m, latitudes written with 6 decimals
    EXPECT_EQ(name, "S2");                 // equal distances keep the first stand
    name = "none";
    EXPECT_DOUBLE_EQ(gf_readDestApfForClosestStand("EGLL", LatLon{10.0, 8.0}, name), 100.0);
    EXPECT_EQ(name, "none");
    EXPECT_DOUBLE_EQ(gf_readDestApfForClosestStand("LSZH", LatLon{47.0, 8.0}, name), 100.0);
    writeText("airports/my_thirdparty/LFPG.xml", "<broken");
    EXPECT_DOUBLE_EQ(gf_readDestApfForClosestStand("LFPG", LatLon{47.0, 8.0}, name), 100.0);
}

TEST_F(AirportsTest, PublisherChecksAndOfflineLearning) {
    writeText("a.xml", apfText({{"publisher", "Pub"}}, ""));
    writeText("b.xml", apfText({{"publisher", "unknown"}, {"manufacturer", "abc"}, {"creator", "defg"}}, ""));
    writeText("c.xml", apfText({{"publisher", "unknown"}, {"creator", "x"}}, ""));
    EXPECT_EQ(gf_readApfPublisher("a.xml"), "Pub");
    EXPECT_EQ(gf_readApfPublisher("missing.xml"), "");
    EXPECT_EQ(gf_checkApfPublisher("a.xml"), "");
    EXPECT_EQ(gf_checkApfPublisher("b.xml"), "");
    EXPECT_EQ(gf_checkApfPublisher("c.xml"), "manufacturer=, creator=x");
    EXPECT_EQ(gf_checkApfPublisher("missing.xml"), "\"missing.xml\" not found");

    const fs::path stock = server() / "MSFS" / "archive" / "stock";
    writeText(stock / "EGLL.xml", apfText({{"Qf_real", "-1"}, {"Qf_soft", "3"}, {"RT_traffic_week", "30/12"}}, ""));
    writeText(stock / "EDDF.xml", apfText({{"Qf_real", "-1"}, {"Qf_soft", "3"}, {"RT_traffic_week", "20/30"}}, ""));
    writeText(stock / "LSZH.xml", apfText({{"RT_traffic_week", "40"}}, ""));
    writeText(stock / "LFPG.xml", "<broken");
    EXPECT_TRUE(gf_suitableForOfflineLearning("EGLL"));
    EXPECT_FALSE(gf_suitableForOfflineLearning("EDDF"));
    EXPECT_FALSE(gf_suitableForOfflineLearning("LSZH"));
    EXPECT_FALSE(gf_suitableForOfflineLearning("LFPG"));
    EXPECT_FALSE(gf_suitableForOfflineLearning("KJFK"));
    EXPECT_TRUE(logHas("===> Failed to load LFPG.xml"));
    EXPECT_TRUE(logHas("===> Failed to download KJFK.xml"));
    EXPECT_TRUE(logHas("===> KJFK Not suitable for offline learning"));
    for (const char* code : {"EGLL", "EDDF", "LSZH", "LFPG", "KJFK"})
        EXPECT_FALSE(fs::exists(std::string(code) + ".xml"));
}
