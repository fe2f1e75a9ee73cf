// The demo's data agree with each other: the stand-in web service accepts the demo's credential,
// the stand-in simulator has every livery of the demo's livery cache installed, the traffic lies
// within the demo's range around the user aircraft, the user's flight away and back sees the take-off
// rolls out of the airport's sight, and the download folder names a version.
#include <algorithm>
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

// The user's flight out of sight of the airport and back: the same simulator and liveries, from E3 out beyond the
// airport's sight (20 nm, AIRPORT_RANGE) to 60 nm and back to E3; the departures' take-off rolls come while the
// user is out of sight but within the range of the feed (20 to 40 nm), on the way out in the traffic's first play
// and on the way back in its second.
TEST(DemoData, OutAndBackFlightSeesTheTakeOffRollsOutOfTheAirportsSight) {
    const auto parked = vsim::StandIn::configFromScenario((demoDir / "simulator.json").string());
    const auto config = vsim::StandIn::configFromScenario((demoDir / "simulator_out_and_back.json").string());
    EXPECT_EQ(config.applicationName, parked.applicationName);
    EXPECT_EQ(config.titles.size(), parked.titles.size());
    const auto& path = config.user.path;
    ASSERT_GE(path.size(), 2u);
    auto userAt = [&](double t) {
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            const auto &a = path[i], &b = path[i + 1];
            if (t < a.t || t > b.t) continue;
            const double f = b.t > a.t ? (t - a.t) / (b.t - a.t) : 0.0;
            return distanceNm(a.latitude + (b.latitude - a.latitude) * f, a.longitude + (b.longitude - a.longitude) * f,
                              kAirportLat, kAirportLon);
        }
        return distanceNm(path.back().latitude, path.back().longitude, kAirportLat, kAirportLon);
    };
    double farthest = 0;
    for (const auto& w : path)
        farthest = std::max(farthest, distanceNm(w.latitude, w.longitude, kAirportLat, kAirportLon));
    EXPECT_GT(farthest, 55.0);
    for (const auto* w : {&path.front(), &path.back()}) {
        EXPECT_LT(distanceNm(w->latitude, w->longitude, kAirportLat, kAirportLon), 2.0);
        EXPECT_EQ(w->groundSpeedKt, 0);
        EXPECT_LE(w->altitudeFt - config.fieldElevationFt, 10);
    }

    const auto traffic = readJson(demoDir / "traffic.json");
    const double loopSec = traffic["loopSec"];
    int rollsOut = 0, rollsBack = 0;
    for (const auto& track : traffic["tracks"]) {
        if (track["origin"] != "EDDF") continue;
        // The roll: on the ground at the field's elevation, faster than the 35 kt of a taxi.
        for (const auto& p : track["points"]) {
            if (p["alt"].get<double>() > kFieldElevationFt || p["gs"].get<double>() <= 35) continue;
            const double t = p["t"].get<double>() - config.user.menuSeconds;
            const double out = userAt(t), back = userAt(t + loopSec);
            rollsOut += out > 20.0 && out < 40.0;
            rollsBack += back > 20.0 && back < 40.0;
        }
    }
    EXPECT_GT(rollsOut, 0);
    EXPECT_GT(rollsBack, 0);
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
