// The airport database delivered with the program (demo/downloads/airports_msfs.xml, made by
// scripts/make_airport_data): it must be the document the airport database reader expects, with
// numbers that the standard conversion reads whole and positions where the airports are.
#include "foundation/geodesy.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <map>
#include <string>

namespace {

struct Row {
    double lat = 0.0;
    double lon = 0.0;
    double alt = 0.0;
};

// A number as the reader takes it, required here to be the whole attribute.
bool readNumber(const pugi::xml_node& n, const char* name, double& out) {
    const pugi::xml_attribute a = n.attribute(name);
    if (!a) return false;
    const std::string text = a.value();
    std::size_t used = 0;
    try {
        out = std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() && std::isfinite(out);
}

}  // namespace

TEST(DeliveredAirports, IsWellFormedSortedAndPlacesKnownAirports) {
    const std::string path = std::string(VEXA_SOURCE_DIR) + "/demo/downloads/airports_msfs.xml";
    pugi::xml_document doc;
    const pugi::xml_parse_result loaded = doc.load_file(path.c_str());
    ASSERT_TRUE(loaded) << path << " " << loaded.description();
    const pugi::xml_node root = doc.child("airports");
    ASSERT_TRUE(root) << "no airports element";

    std::map<std::string, Row> rows;
    std::string previous;
    for (pugi::xml_node n : root.children()) {
        ASSERT_STREQ(n.name(), "airport");
        const std::string code = n.attribute("code").value();
        Row r;
        ASSERT_FALSE(code.empty());
        ASSERT_TRUE(readNumber(n, "lat", r.lat) && readNumber(n, "lon", r.lon) && readNumber(n, "alt", r.alt)) << code;
        EXPECT_TRUE(r.lat >= -90.0 && r.lat <= 90.0 && r.lon >= -180.0 && r.lon <= 180.0) << code;
        EXPECT_TRUE(r.alt > -1500.0 && r.alt < 16000.0) << code;
        EXPECT_LT(previous, code) << "codes are unique and in byte order";
        previous = code;
        rows.emplace(code, r);
    }
    EXPECT_GT(rows.size(), 10000u);

    // Reference points and field elevations as published; the runway-end mean lies within 2 nm.
    const struct {
        const char* code;
        LatLon arp;
        double alt;
    } known[] = {
        {"EDDF", {50.0333, 8.5706}, 364.0},
        {"KJFK", {40.6398, -73.7789}, 13.0},
        {"EGLL", {51.4706, -0.4619}, 83.0},
        {"YSSY", {-33.9461, 151.1772}, 21.0},
    };
    for (const auto& k : known) {
        const auto it = rows.find(k.code);
        ASSERT_NE(it, rows.end()) << k.code;
        EXPECT_LT(gf_distanceNm(k.arp, {it->second.lat, it->second.lon}), 2.0) << k.code;
        EXPECT_NEAR(it->second.alt, k.alt, 10.0) << k.code;
    }
}
