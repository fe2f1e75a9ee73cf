#include <gtest/gtest.h>

#include <cmath>

#include "foundation/geodesy.h"

namespace {

TEST(Geodesy, DistanceOnTheNauticalMileSphere) {
    EXPECT_NEAR(gf_distanceNm({0, 0}, {0, 1}), 60.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm({0, 0}, {1, 0}), 60.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm({50, 8}, {50, 8}), 0.0, 1e-12);
    EXPECT_NEAR(gf_distanceNm({0, 0}, {0, 180}), 10800.0, 1e-6);
}

TEST(Geodesy, NearAntipodalPointsGiveNoNaN) {
    // Points whose haversine intermediate rounds to just above 1.
    const LatLon cases[][2] = {{{0, 0}, {0, 180}},
                               {{45, 10}, {-45, -170}},
                               {{89.9999999, 0}, {-89.9999999, 180}},
                               {{33.1234567, 22.7654321}, {-33.1234567, -157.2345679}}};
    for (const auto& c : cases) {
        const double d = gf_distanceNm(c[0], c[1]);
        EXPECT_FALSE(std::isnan(d));
        EXPECT_NEAR(d, 10800.0, 1e-3);
    }
}

TEST(Geodesy, InitialBearingIsInZeroToTwoPi) {
    EXPECT_NEAR(gf_initialBearing({0, 0}, {1, 0}), 0.0, 1e-12);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {0, 1}), geo::pi / 2, 1e-12);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {-1, 0}), geo::pi, 1e-12);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {0, -1}), 3 * geo::pi / 2, 1e-12);  // west is 3 pi / 2, never -pi / 2
    for (double lon = -179; lon < 180; lon += 37) {
        const double b = gf_initialBearing({10, 20}, {-5, lon});
        EXPECT_GE(b, 0.0);
        EXPECT_LT(b, geo::twoPi);
    }
}

TEST(Geodesy, DestinationPointRoundTripsAndCrossesTheDateLine) {
    const double feetPerNm = 1.0 / (geo::radiansPerFoot * geo::earthRadiusNm);
    const LatLon north = gf_destinationPoint({0, 0}, 0.0, 60.0 * feetPerNm);
    EXPECT_NEAR(north.latitude, 1.0, 1e-9);
    EXPECT_NEAR(north.longitude, 0.0, 1e-9);

    const LatLon across = gf_destinationPoint({10, 179.9}, geo::pi / 2, 20.0 * feetPerNm);
    EXPECT_GE(across.longitude, -180.0);
    EXPECT_LE(across.longitude, 180.0);
    EXPECT_LT(across.longitude, -179.0);
    EXPECT_NEAR(gf_distanceNm({10, 179.9}, across), 20.0, 1e-6);

    const LatLon start{47.5, 8.5};
    const LatLon end = gf_destinationPoint(start, 1.0, 30000.0);
    EXPECT_NEAR(gf_initialBearing(start, end), 1.0, 1e-6);
    EXPECT_NEAR(gf_distanceNm(start, end) * feetPerNm, 30000.0, 1e-3);
}

TEST(Geodesy, AngleDiff) {
    EXPECT_DOUBLE_EQ(gf_angleDiff(0, geo::pi), geo::pi);
    EXPECT_DOUBLE_EQ(gf_angleDiff(geo::pi, 0), -geo::pi);
    EXPECT_NEAR(gf_angleDiff(0.1, 6.2), 6.1 - geo::twoPi, 1e-12);
    EXPECT_NEAR(gf_angleDiff(0.1, 6.2), -0.183, 1e-3);
    EXPECT_NEAR(gf_angleDiff(6.2, 0.1), 0.183, 1e-3);
    EXPECT_EQ(gf_angleDiff(1.5, 1.5), 0.0);
}

TEST(Geodesy, UnsetPosition) {
    const struct {
        LatLon position;
        bool set;
    } cases[] = {{{0, 0}, false},     {{0.0009, 0.05}, false}, {{0.00091, 0}, true}, {{-0.0001, 0}, true},
                 {{0, 0.0501}, true}, {{0, -0.01}, true},      {{NAN, 0}, true},     {{47.1, 8.2}, true}};
    for (const auto& c : cases)
        EXPECT_EQ(gf_positionIsSet(c.position), c.set) << c.position.latitude << "," << c.position.longitude;
}

TEST(Geodesy, LaloText) { EXPECT_EQ(gf_laloText({47.5, -8.25}), "47.500000,-8.250000"); }

}  // namespace
