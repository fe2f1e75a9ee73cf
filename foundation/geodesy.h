#pragma once
// Distances and directions on a sphere on which one minute of arc is one nautical mile.
// Positions are degrees, bearings radians, distances nautical miles (feet for gf_destinationPoint).

#include <string>

struct LatLon {
    double latitude = 0.0;
    double longitude = 0.0;
    friend constexpr bool operator==(const LatLon&, const LatLon&) = default;
};

namespace geo {
inline constexpr double earthRadiusNm = 3437.746770784939;  // 10800 / pi
inline constexpr double earthDiameterNm = 6875.493541569878;
inline constexpr double radiansPerFoot = 4.787404208238998e-8;
inline constexpr double deg2rad = 0.017453292519943295;
inline constexpr double rad2deg = 57.29577951308232;
inline constexpr double pi = 3.141592653589793;
inline constexpr double twoPi = 6.283185307179586;
}  // namespace geo

double gf_distanceNm(const LatLon& a, const LatLon& b);
// Initial true bearing from a to b, radians in [0, 2 pi).
double gf_initialBearing(const LatLon& a, const LatLon& b);
// Position reached from start along a bearing (radians) after a distance in feet; longitude in [-180, 180].
LatLon gf_destinationPoint(const LatLon& start, double bearing, double distanceFeet);
// b - a brought into [-pi, pi] (angles expected in [0, 2 pi)).
double gf_angleDiff(double a, double b);
// False for the unset position: latitude in [0, 0.0009] and longitude in [0, 0.05].
bool gf_positionIsSet(const LatLon& position);
// "{:.6f},{:.6f}"
std::string gf_laloText(const LatLon& position);
