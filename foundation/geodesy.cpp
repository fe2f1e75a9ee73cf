#include "foundation/geodesy.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

using namespace geo;

double gf_distanceNm(const LatLon& a, const LatLon& b) {
    const double phi1 = a.latitude * deg2rad;
    const double phi2 = b.latitude * deg2rad;
    const double dPhi = (b.latitude - a.latitude) * deg2rad;
    const double dLambda = (b.longitude - a.longitude) * deg2rad;
    const double sPhi = std::sin(dPhi / 2.0);
    const double sLambda = std::sin(dLambda / 2.0);
    double h = sPhi * sPhi + std::cos(phi2) * std::cos(phi1) * sLambda * sLambda;
    // Rounding can push h a hair outside [0, 1] for (near-)antipodal points; sqrt(1 - h) would then be NaN.
    h = std::clamp(h, 0.0, 1.0);
    return earthDiameterNm * std::atan2(std::sqrt(h), std::sqrt(1.0 - h));
}

double gf_initialBearing(const LatLon& a, const LatLon& b) {
    const double phi1 = a.latitude * deg2rad;
    const double phi2 = b.latitude * deg2rad;
    const double dLambda = (b.longitude - a.longitude) * deg2rad;
    double theta = std::atan2(std::sin(dLambda) * std::cos(phi2),
                              std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLambda));
    if (theta < 0.0) theta += twoPi;
    if (theta >= twoPi)  // -0.0 plus 2 pi or a rounding at the top end
        theta -= twoPi;
    return theta;
}

LatLon gf_destinationPoint(const LatLon& start, double bearing, double distanceFeet) {
    const double delta = distanceFeet * radiansPerFoot;
    const double phi1 = start.latitude * deg2rad;
    const double lambda1 = start.longitude * deg2rad;
    const double phi2 =
        std::asin(std::sin(phi1) * std::cos(delta) + std::cos(phi1) * std::sin(delta) * std::cos(bearing));
    double lambda2 = lambda1 + std::atan2(std::sin(bearing) * std::sin(delta) * std::cos(phi1),
                                          std::cos(delta) - std::sin(phi1) * std::sin(phi2));
    lambda2 = std::remainder(lambda2, twoPi);
    return LatLon{phi2 * rad2deg, lambda2 * rad2deg};
}

double gf_angleDiff(double a, double b) {
    if (b > a) {
        double d = b - a;
        if (d > pi) d -= twoPi;
        return d;
    }
    if (a > b) return -gf_angleDiff(b, a);
    return 0.0;
}

bool gf_positionIsSet(const LatLon& position) {
    const bool unset = position.latitude >= 0.0 && position.latitude <= 0.0009 && position.longitude >= 0.0 &&
                       position.longitude <= 0.05;
    return !unset;
}

std::string gf_laloText(const LatLon& position) {
    return fmt::format("{:.6f},{:.6f}", position.latitude, position.longitude);
}
