// The demo's data agree with each other: the stand-in web service accepts the demo's credential,
// the stand-in simulator has every livery of the demo's livery cache installed, the traffic lies
// within the demo's range around the user aircraft, and the download folder names a version.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "foundation/version.h"
#include "platform/sim/stand_in.h"
#include "tools/rtstub/rt_stub.h"

namespace fs = std::filesystem;

namespace {

const fs::path demoDir = fs::path(VEXA_SOURCE_DIR) / "demo";
constexpr double kDemoRangeNm = 40;      // LATERAL_RANGE that scripts/demo writes
constexpr double kAirportLat = 50.0333;  // Frankfurt, the demo's airport
constexpr double kAirportLon = 8.5706;
constexpr double kFieldElevationFt = 364;

nlohmann::json readJson(const fs::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

double distanceNm(double lat1, double lon1, double lat2, double lon2) {
    const double r = M_PI / 180.0;
    const double a = std::pow(std::sin((lat2 - lat1) * r / 2), 2) +
                     std::cos(lat1 * r) * std::cos(lat2 * r) * std::pow(std::sin((lon2 - lon1) * r / 2), 2);
    return 2 * std::asin(std::sqrt(a)) * 3440.065;
}

struct CacheLivery {
    std::string title, type;
};

std::vector<CacheLivery> cacheLiveries() {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file((demoDir / "catalogue" / "LiveriesScanned.xml").c_str()));
    std::vector<CacheLivery> out;
    for (auto liv : doc.child("liveries").children("liv"))
        out.push_back({liv.attribute("title").as_string(), liv.attribute("type").as_string()});
    return out;
}

}  // namespace

TEST(DemoData, StandInWebServiceAcceptsTheDemoCredential) {
    const auto credential = readJson(demoDir / "RealTraffic.lic");
    ASSERT_TRUE(credential.contains("License") && credential["License"].is_string());

    rtstub::Server server;
    ASSERT_NO_THROW(server.loadScenarioFile((demoDir / "traffic.json").string()));
    auto reply = server.answer("auth", {{"license", credential["License"].get<std::string>()}, {"software", "Vexa"}});
    EXPECT_EQ(reply["status"], 200);
    EXPECT_EQ(reply["type"], 2);
    reply = server.answer("auth", {{"license", "someone else's"}, {"software", "Vexa"}});
    EXPECT_EQ(reply["status"], 404);
}

TEST(DemoData, StandInSimulatorHasEveryCachedLiveryAndTheUserAtTheAirport) {
    const auto config = vsim::StandIn::configFromScenario((demoDir / "simulator.json").string());
    EXPECT_EQ(config.applicationName, "KittyHawk");  // the 2020 simulator, as MSFS_2020 in the demo's settings
    std::set<std::string> installed;
    for (const auto& t : config.titles) installed.insert(t.title);
    const auto liveries = cacheLiveries();
    ASSERT_FALSE(liveries.empty());
    for (const auto& liv : liveries) EXPECT_TRUE(installed.count(liv.title)) << liv.title;

    ASSERT_FALSE(config.user.path.empty());
    const auto& user = config.user.path.front();
    EXPECT_EQ(user.groundSpeedKt, 0);
    EXPECT_LT(distanceNm(user.latitude, user.longitude, kAirportLat, kAirportLon), 2.0);
    EXPECT_LE(user.altitudeFt - config.fieldElevationFt, 10);
}

TEST(DemoData, TrafficLiesInRangeAndHasLiveriesOfItsTypes) {
    const auto traffic = readJson(demoDir / "traffic.json");
    const auto config = vsim::StandIn::configFromScenario((demoDir / "simulator.json").string());
    const auto& user = config.user.path.front();
    std::set<std::string> typesWithLivery;
    for (const auto& liv : cacheLiveries()) typesWithLivery.insert(liv.type);

    std::set<std::string> hexes;
    int airborne = 0, ground = 0;
    ASSERT_GE(traffic["tracks"].size(), 10u);
    for (const auto& track : traffic["tracks"]) {
        const std::string hex = track["hex"];
        EXPECT_TRUE(hexes.insert(hex).second) << hex;
        EXPECT_GT(std::stoul(hex, nullptr, 16), 10000u) << hex;
        const std::string callsign = track["callsign"];
        EXPECT_FALSE(callsign.empty());
        EXPECT_LE(callsign.size(), 8u) << callsign;
        EXPECT_TRUE(typesWithLivery.count(track["type"].get<std::string>())) << hex << " " << track["type"];
        ASSERT_GE(track["points"].size(), 2u) << hex;
        for (const auto& p : track["points"]) {
            const double lat = p["lat"], lon = p["lon"], alt = p["alt"];
            EXPECT_LE(distanceNm(lat, lon, user.latitude, user.longitude), kDemoRangeNm) << hex;
            if (alt <= kFieldElevationFt && p["gs"].get<double>() <= 35) {
                ++ground;
                // Ground traffic (slow at the field's elevation) counts only within 5 nm of the airport.
                EXPECT_LE(distanceNm(lat, lon, kAirportLat, kAirportLon), 5.0) << hex;
            } else {
                ++airborne;
            }
            EXPECT_TRUE(p["t"].get<double>() >= 0) << hex;
        }
    }
    EXPECT_GT(airborne, 0);
    EXPECT_GT(ground, 0);
}

TEST(DemoData, DownloadFolderHoldsTheVersionAndTheDatabase) {
    std::ifstream in(demoDir / "downloads" / "release" / "version.json");
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    const VersionData server(line);
    EXPECT_GT(server, VersionData{});
    EXPECT_LE(server, VersionData(10, 10, 10));  // never asks the demo to install a newer program
    EXPECT_TRUE(fs::exists(demoDir / "downloads" / "dbase.zip"));
}
