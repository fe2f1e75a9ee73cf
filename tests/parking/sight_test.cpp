// The park airport in sight: position and sight limits, the closest airport and its neighbour,
// entering and leaving, and an airport whose file failed.
#include "tests/parking/sight_fixture.h"

namespace {
// Metres north of 47.0/8.0 as a latitude.
double north(double metres) { return 47.0 + metres / 1852.0 / 60.0; }

class SightTest : public SightFixture {
public:
    void SetUp() override {
        SightFixture::SetUp();
        airportList = {Airport{"AAAA", "", north(0), 8.0, 500}, Airport{"BBBB", "", north(3000), 8.0, 500},
                       Airport{"CCCC", "", north(6000), 8.0, 500}};
    }
    void writeApf(const std::string& code, double standNorthMetres) {
        writeText(program() / "airports" / "my_thirdparty" / (code + ".xml"),
                  apfText({{"altitude", "500"}, {"publisher", "Vexa test"}}, stand(code + "1", standNorthMetres)));
    }
    void placeUser(double northMetres, double heightFt, bool onGround) {
        userState.latitude = north(northMetres);
        userState.longitude = 8.0;
        userState.altitude = heightFt;
        userOnGround.store(onGround ? 1 : 0);
    }
};

TEST(SightLimits, PositionAndSight) {
    struct Pos {
        double lat, lon;
        bool valid;
    };
    for (const Pos& p : {Pos{0.0, 0.0, false}, Pos{0.0009, 0.05, false}, Pos{0.001, 0.0, true}, Pos{0.0, 0.051, true},
                         Pos{-0.0001, 0.0, true}, Pos{47.0, 8.0, true}})
        EXPECT_EQ(lf_positionValid(p.lat, p.lon), p.valid) << p.lat << "/" << p.lon;
    AIRPORT_RANGE.value = 20;
    AIRPORT_HEIGHT.value = 18000;
    struct Sight {
        double nm, ft;
        bool inSight;
    };
    for (const Sight& s :
         {Sight{20.0, 18000, true}, Sight{20.01, 100, false}, Sight{5.0, 18001, false}, Sight{0.0, 0.0, true}})
        EXPECT_EQ(lf_inSight(s.nm, s.ft), s.inSight) << s.nm << " nm " << s.ft << " ft";
}

TEST_F(SightTest, ClosestAirportAndItsNeighbour) {
    // Only airports within 5 nm count.
    EXPECT_FALSE(gf_closestAirport(LatLon{north(-20000), 8.0}).has_value());
    // Nearest AAAA, nearest other BBBB (CCCC comes later in the list but farther): neighbour BBBB.
    airportList = {Airport{"CCCC", "", north(6000), 8.0, 0}, Airport{"AAAA", "", north(0), 8.0, 0},
                   Airport{"BBBB", "", north(3000), 8.0, 0}};
    ASSERT_EQ(gf_closestAirport(LatLon{north(500), 8.0})->icao, "AAAA");  // no files: the closest stays
    EXPECT_TRUE(logHas("Airport AAAA is closest, neighbour is BBBB"));
    // The neighbour wins only when its nearest stand is strictly closer.
    writeApf("AAAA", 900);
    writeApf("BBBB", 1200);
    EXPECT_EQ(gf_closestAirport(LatLon{north(1000), 8.0})->icao, "AAAA");
    writeApf("BBBB", 1050);
    EXPECT_EQ(gf_closestAirport(LatLon{north(1000), 8.0})->icao, "BBBB");
    EXPECT_TRUE(logHas("at neighbouring airport BBBB is closest at"));
}

TEST_F(SightTest, OnTheGroundTakesTheClosestAirportWithAFile) {
    airportList = {Airport{"AAAA", "", north(0), 8.0, 500}};
    placeUser(100, 500, true);
    gf_updateParking(true);
    EXPECT_TRUE(logHas("User aircraft on the ground at AAAA, no airport file found"));
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    writeApf("AAAA", 50);
    gf_updateParking(false);
    EXPECT_TRUE(logHas("The park airport is AAAA"));
    EXPECT_EQ(gf_currentAirportCopy().icao, "AAAA");  // not immediate: a plan is requested
    EXPECT_TRUE(gf_planRequested());
    gf_updateParking(false);  // reads the file and plans
    EXPECT_FALSE(gf_planRequested());
    EXPECT_EQ(currentStands.size(), 1u);
    EXPECT_EQ(gf_currentAirportCopy().icao, "AAAA");
    // On the ground the airport is never dropped here, however far the user moves.
    placeUser(-50000, 0, true);
    gf_updateParking(false);
    EXPECT_EQ(gf_currentAirportCopy().icao, "AAAA");
}
}  // namespace

namespace {
TEST_F(SightTest, InTheAirFirstListEntryInSightAndOutOfSight) {
    writeApf("BBBB", 3000);
    writeText(program() / "airports" / "my_park_airports.txt", "CCCC\nBBBB\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    AIRPORT_RANGE.value = 8;
    AIRPORT_HEIGHT.value = 2000;
    placeUser(3000 - 8 * 1852 - 200, 1500, false);  // just beyond 8 nm of BBBB
    gf_updateParking(false);
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    EXPECT_EQ(gf_firstParkAirport()->icao, "BBBB");  // the list was sorted by distance
    placeUser(3000 - 7 * 1852, 2500, false);         // too high
    gf_updateParking(false);
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    placeUser(3000 - 7 * 1852, 2000, false);
    gf_updateParking(false);
    EXPECT_EQ(gf_currentAirportCopy().icao, "BBBB");
    EXPECT_TRUE(logHas("BBBB in sight at 7.0 nm"));
    gf_updateParking(false);  // the requested plan
    EXPECT_EQ(currentStands.size(), 1u);
    learnedUpdateCount.store(1);  // a learned change waits: leaving saves it
    placeUser(3000 - 9 * 1852, 2000, false);
    gf_updateParking(false);
    EXPECT_EQ(learnedUpdateCount.load(), 0u);
    bool saved = false;
    for (const auto& f : fs::recursive_directory_iterator(program() / "airports" / "learned"))
        saved |= f.path().filename() == "BBBB.xml";
    EXPECT_TRUE(saved);
    EXPECT_TRUE(logHas("is out of sight (9.0 nm), parked aircraft will be removed"));
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    EXPECT_TRUE(currentStands.empty());
}

TEST_F(SightTest, AFailedParkingFileIsNotTriedAgainInTheRun) {
    // CCCC has a stock entry nowhere: its path is empty, reading fails.
    writeText(program() / "airports" / "my_park_airports.txt", "CCCC\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    writeApf("CCCC", 6000);
    placeUser(6000, 1000, false);
    gf_updateParking(false);
    ASSERT_EQ(gf_currentAirportCopy().icao, "CCCC");
    fs::remove(program() / "airports" / "my_thirdparty" / "CCCC.xml");
    gf_updateParking(false);  // the plan: the file is gone
    EXPECT_TRUE(logHas("lf_readParkedFile CCCC not found"));
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    writeApf("CCCC", 6000);
    for (int i = 0; i < 3; ++i) gf_updateParking(false);
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    gf_resetParkAirportSight();  // a new run tries again
    gf_updateParking(false);
    EXPECT_EQ(gf_currentAirportCopy().icao, "CCCC");
}

TEST_F(SightTest, DestinationKeepsTheListOrder) {
    writeText(program() / "airports" / "my_park_airports.txt", "CCCC\nAAAA\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    DESTINATION.set("CCCC");
    placeUser(0, 30000, false);
    gf_updateParking(false);
    EXPECT_EQ(gf_firstParkAirport()->icao, "CCCC");
    DESTINATION.set("");
    placeUser(10, 30000, false);
    gf_updateParking(false);
    EXPECT_EQ(gf_firstParkAirport()->icao, "AAAA");
}
}  // namespace

namespace {
TEST_F(SightTest, ACloserListAirportInSightSupersedesTheCurrentOne) {
    struct Case {
        const char* name;
        const char* list;
        double userNorthMetres;
        const char* afterTwoSteps;  // the park airport after two steps at that position
        bool superseded;
    };
    // AAAA lies at 0 m, BBBB at 3000 m, CCCC at 6000 m; AAAA is the current park airport.
    const std::vector<Case> cases = {
        {"a closer list airport", "AAAA\nBBBB\n", 2900, "BBBB", true},
        {"the current airport is the closest", "AAAA\nBBBB\n", 100, "AAAA", false},
        {"a closer airport not in the list", "AAAA\n", 2900, "AAAA", false},
        {"a closer list airport, the current one not listed", "BBBB\n", 2900, "BBBB", true},
    };
    AIRPORT_RANGE.value = 8;
    AIRPORT_HEIGHT.value = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetParkAirportSight();
        writeText(program() / "airports" / "my_park_airports.txt", c.list);
        ASSERT_TRUE(lf_readMyParkAirports());
        placeUser(c.userNorthMetres, 1500, false);
        ASSERT_TRUE(lf_setParkAirport("AAAA"));
        gf_closeLog();
        gf_openLog(program() / "Log.txt");
        gf_updateParking(false);
        gf_updateParking(false);
        EXPECT_EQ(gf_currentAirportCopy().icao, c.afterTwoSteps);
        EXPECT_EQ(logHas("parked aircraft at AAAA will be removed first"), c.superseded);
        lf_leaveParkAirport();
    }
}

// Over a stand in the air the user stands on no stand: the plan reserves none and the list keeps its
// entry, and a re-read takes the list's reserved stand.
TEST_F(SightTest, AirborneOverAStandTheUserHasNoStand) {
    writeText(program() / "airports" / "my_thirdparty" / "BBBB.xml",
              apfText({{"altitude", "500"}, {"publisher", "Vexa test"}}, stand("B1", 3000) + stand("B2", 3200)));
    const fs::path list = program() / "airports" / "my_park_airports.txt";
    writeText(list, "BBBB\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    AIRPORT_RANGE.value = 8;
    AIRPORT_HEIGHT.value = 2000;
    placeUser(3000, 1500, false);  // right over B1
    gf_updateParking(false);
    ASSERT_EQ(gf_currentAirportCopy().icao, "BBBB");
    gf_updateParking(false);  // reads the file and plans
    ASSERT_EQ(currentStands.size(), 2u);
    EXPECT_EQ(userReservedStand, "");
    EXPECT_EQ(readText(list), "BBBB\n");
    for (const ParkPos& s : currentStands) EXPECT_EQ(s.reserved, 0) << s.name;

    writeText(list, "BBBB,B2\n");
    std::string message;
    EXPECT_TRUE(gf_rereadParkAirports(true, message));
    EXPECT_EQ(message, "reserved stand changed from \"\" to \"B2\"");
    EXPECT_EQ(userReservedStand, "B2");
}
}  // namespace
