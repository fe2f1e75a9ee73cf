// The demo's park airport, read the way the program reads it: its park-airport list names Frankfurt with
// the user's stand, the stand-in simulator's user aircraft stands on that stand, the parking file on the
// demo's download server gives the stands and a week plan whose aircraft all have a livery in the demo, and
// the demo feed's aircraft start, end and stand parked on stands of that file.
#include <cmath>
#include <set>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "shell/display.h"
#include "tests/parking/sight_fixture.h"

namespace {

const fs::path demoDir = fs::path(VEXA_SOURCE_DIR) / "demo";

nlohmann::json readJson(const fs::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

class DemoParkAirport : public SightFixture {
public:
    ScopedEnv demoServer{"VEXA_DOWNLOAD_URL", "file://" + (demoDir / "downloads").string() + "/"};

    void SetUp() override {
        SightFixture::SetUp();
        fs::copy_file(demoDir / "downloads" / "airports_msfs.xml", program() / "input" / "airports_msfs.xml");
        fs::copy_file(demoDir / "airports" / "my_park_airports.txt", program() / "airports" / "my_park_airports.txt");
    }

    // The stand within `reach` metres of the position; null when there is none.
    static const ParkPos* standNear(double latitude, double longitude, double reach) {
        const ParkPos* best = nullptr;
        double bestMetres = reach;
        for (const ParkPos& s : currentStands) {
            const double metres = gf_distanceNm(LatLon{latitude, longitude}, LatLon{s.latitude, s.longitude}) * 1852.0;
            if (metres <= bestMetres) {
                best = &s;
                bestMetres = metres;
            }
        }
        return best;
    }
};

TEST_F(DemoParkAirport, UserAtItsStandAndTheFeedOnTheStands) {
    ASSERT_TRUE(gf_readAirports());
    ASSERT_TRUE(lf_readMyParkAirports());
    const std::optional<ParkAirportEntry> first = gf_firstParkAirport();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->icao, "EDDF");
    EXPECT_EQ(first->reservedStand, "E3");

    // The user aircraft of the stand-in simulator, parked: the closest airport is Frankfurt, whose parking file
    // comes from the download server.
    const nlohmann::json user = readJson(demoDir / "simulator.json")["user"]["path"][0];
    userState.latitude = user["lat"].get<double>();
    userState.longitude = user["lon"].get<double>();
    userState.altitude = user["altFt"].get<double>();
    userOnGround.store(1);
    gf_updateParking(true);
    ASSERT_EQ(gf_currentAirportCopy().icao, "EDDF");
    EXPECT_EQ(currentStands.size(), 46u);
    EXPECT_EQ(gf_standNameAt(userState.latitude, userState.longitude), "E3");
    EXPECT_EQ(userReservedStand, "E3");
    EXPECT_EQ(softLearningAllowed.load(), 0);  // a good stock file: nothing is guessed at Frankfurt
    // The statistics panel's first row: the file's publisher and airport name.
    EXPECT_EQ(mainWindow.airportSourceText.get(), "stock");
    EXPECT_EQ(mainWindow.airportFileText.get(), "Frankfurt am Main (demo, synthetic stands)");
    EXPECT_EQ(mainWindow.trafficWeek.load(), 24);
    EXPECT_TRUE(mainWindow.airportReady.load());

    // Feed-parked aircraft stand on distinct stands that fit them; departures start and arrivals end on one.
    const nlohmann::json traffic = readJson(demoDir / "traffic.json");
    std::set<std::string> taken;
    for (const nlohmann::json& p : traffic["parked"]) {
        const ParkPos* s = standNear(p["lat"].get<double>(), p["lon"].get<double>(), 25.0);
        ASSERT_NE(s, nullptr) << p["callsign"];
        EXPECT_EQ(s->name, p["stand"].get<std::string>());
        EXPECT_TRUE(taken.insert(s->name).second) << s->name;
    }
    int departures = 0, arrivals = 0;
    for (const nlohmann::json& t : traffic["tracks"]) {
        const nlohmann::json& from = t["points"].front();
        const nlohmann::json& to = t["points"].back();
        if (t["origin"] == "EDDF" && t["destination"] != "EDDF") {
            ++departures;
            EXPECT_NE(standNear(from["lat"].get<double>(), from["lon"].get<double>(), 5.0), nullptr) << t["callsign"];
        } else if (t["destination"] == "EDDF" && t["origin"] != "EDDF") {
            ++arrivals;
            EXPECT_NE(standNear(to["lat"].get<double>(), to["lon"].get<double>(), 5.0), nullptr) << t["callsign"];
        }
    }
    EXPECT_GE(departures, 2);
    EXPECT_GE(arrivals, 2);
}

// The renewal of the plan 20 minutes in has something to remove whatever the time of day: feed-parked
// aircraft leave their stands well after the first plan and before the renewal, and others stay.
TEST(DemoParkAirportFile, FeedParkedAircraftLeaveBeforeTheFirstRenewal) {
    const nlohmann::json traffic = readJson(demoDir / "traffic.json");
    int leaving = 0, staying = 0;
    for (const nlohmann::json& p : traffic["parked"]) {
        if (!p.contains("leftAtSec")) {
            ++staying;
            continue;
        }
        ++leaving;
        EXPECT_GT(p["leftAtSec"].get<double>(), 60.0) << p["callsign"];
        EXPECT_LT(p["leftAtSec"].get<double>(), 20 * 60 - 120.0) << p["callsign"];
    }
    EXPECT_GE(leaving, 1);
    EXPECT_GE(staying, 1);
}

TEST(DemoParkAirportFile, EveryPlannedAircraftHasALiveryAndEveryWeekSlotIsPlanned) {
    pugi::xml_document cache;
    ASSERT_TRUE(cache.load_file((demoDir / "catalogue" / "LiveriesScanned.xml").c_str()));
    std::set<std::pair<std::string, std::string>> liveries;
    for (pugi::xml_node liv : cache.child("liveries").children("liv"))
        liveries.emplace(liv.attribute("airl").value(), liv.attribute("type").value());

    pugi::xml_document file;
    ASSERT_TRUE(file.load_file((demoDir / "downloads" / "MSFS" / "archive" / "stock" / "EDDF.xml").c_str()));
    std::uint64_t planned[8] = {};
    for (pugi::xml_node stand : file.child("parkpositions").children("parkpos")) {
        for (pugi::xml_node opt : stand.children("opt")) {
            const int day = opt.attribute("day").as_int();
            ASSERT_GE(day, 1);
            ASSERT_LE(day, 7);
            planned[day] |= gf_hours2bitset(opt.attribute("hh").value());
            if (opt.attribute("soft").as_bool()) continue;
            EXPECT_TRUE(liveries.count({opt.attribute("airl").value(), opt.attribute("type").value()}))
                << stand.attribute("id").value() << " " << opt.attribute("airl").value() << " "
                << opt.attribute("type").value();
        }
    }
    // Whatever the weekday and half-hour the demo runs at, the plan has aircraft for it.
    for (int day = 1; day <= 7; ++day) EXPECT_EQ(planned[day], kHalfHourMask) << "day " << day;
}

}  // namespace
