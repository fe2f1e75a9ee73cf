// Smooth ground turns on quadratic curves, and the extra points that split a taxi leg.
//
// A curve lives in a flat frame around its start point: the control and end points are held as
// metres north and east of the start, the start at parameter 0 and the end at parameter 1.
#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "engine/motion_detail.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"

using namespace motion;

namespace {
enum CurveIndex : size_t {
    kStartLat = 0,
    kStartLon = 1,
    kStartParam = 2,
    kEndNorth = 3,
    kEndEast = 4,
    kEndParam = 5,
    kControlEast = 6,
    kControlNorth = 7,
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double metresPerDegEast(double startLatitude) {
    if (startLatitude > 180.0) startLatitude -= 360.0;
    return kMetresPerDegLat * std::cos(startLatitude * kDeg);
}

LatLon latLonOf(const StreamPoint& p) { return {p.latitude, p.longitude}; }
}  // namespace

bool gf_curvePoint(const std::array<double, 8>& c, double t, CurvePoint& out) {
    if (std::isnan(c[kControlEast]) || std::isnan(c[kControlNorth])) return false;
    const double start = c[kStartParam];
    const double end = c[kEndParam];
    if (!(t >= start && t <= end) || end == start) return false;
    const double u = (t - start) / (end - start);
    const double p1e = c[kControlEast], p1n = c[kControlNorth];
    const double p2e = c[kEndEast], p2n = c[kEndNorth];
    const double east = 2.0 * u * (1.0 - u) * p1e + u * u * p2e;
    const double north = 2.0 * u * (1.0 - u) * p1n + u * u * p2n;
    const double dE = 2.0 * u * (p2e - p1e) + 2.0 * (1.0 - u) * p1e;
    const double dN = 2.0 * u * (p2n - p1n) + 2.0 * (1.0 - u) * p1n;
    out.heading = wrapHeading(std::atan2(dE, dN));
    out.latitude = c[kStartLat] + north / kMetresPerDegLat;
    const double perDegEast = metresPerDegEast(c[kStartLat]);
    out.longitude = c[kStartLon] + (perDegEast != 0.0 ? east / perDegEast : 0.0);
    return std::isfinite(out.latitude) && std::isfinite(out.longitude);
}

bool curveActive(const LiveAircraft& ac) {
    return !std::isnan(ac.curve[kControlEast]) && !std::isnan(ac.curve[kControlNorth]);
}

void clearCurve(LiveAircraft& ac) {
    ac.curve[kStartParam] = kNaN;
    ac.curve[kEndParam] = kNaN;
    ac.curve[kControlEast] = kNaN;
    ac.curve[kControlNorth] = kNaN;
    ac.curveT = 0.0;
}

void buildCurve(LiveAircraft& ac) {
    if (ac.stream.size() < 3) return;
    StreamPoint& third = ac.stream[2];
    if (third.groundSpeedKt == 0.0)
        third.groundSpeedKt = (ac.stream[0].groundSpeedKt + ac.stream[1].groundSpeedKt) / 2.0;
    const double lat0 = ac.position[kPosLat];
    const double lon0 = ac.position[kPosLon];
    const double perDegEast = metresPerDegEast(lat0);
    auto north = [&](const StreamPoint& p) { return (p.latitude - lat0) * kMetresPerDegLat; };
    auto east = [&](const StreamPoint& p) {
        double dLon = p.longitude - lon0;
        if (dLon > 180.0) dLon -= 360.0;
        if (dLon < -180.0) dLon += 360.0;
        return dLon * perDegEast;
    };
    const StreamPoint& control = ac.stream[1];
    ac.curve[kStartLat] = lat0;
    ac.curve[kStartLon] = lon0;
    ac.curve[kStartParam] = 0.0;
    ac.curve[kEndNorth] = north(third);
    ac.curve[kEndEast] = east(third);
    ac.curve[kEndParam] = 1.0;
    ac.curve[kControlEast] = east(control);
    ac.curve[kControlNorth] = north(control);
    ac.curveT = 0.0;
    ac.stream.erase(ac.stream.begin() + 1);
}

void insertMidpoint(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const StreamPoint& head = ac.stream[0];
    const StreamPoint& aim = ac.stream[1];
    StreamPoint mid = head;
    mid.latitude = (head.latitude + aim.latitude) / 2.0;
    double dLon = aim.longitude - head.longitude;
    if (dLon > 180.0) dLon -= 360.0;
    if (dLon < -180.0) dLon += 360.0;
    mid.longitude = head.longitude + dLon / 2.0;
    if (mid.longitude > 180.0) mid.longitude -= 360.0;
    if (mid.longitude < -180.0) mid.longitude += 360.0;
    mid.groundSpeedKt = (head.groundSpeedKt + aim.groundSpeedKt) / 2.0;
    mid.altitudeFt = (head.altitudeFt + aim.altitudeFt) / 2.0;
    if (!(mid.altitudeFt > 0.0)) mid.airborne = 0;
    mid.tick = head.tick + static_cast<uint32_t>(static_cast<int32_t>(aim.tick - head.tick) / 2);
    mid.engineFlag = 0;
    ac.stream.insert(ac.stream.begin() + 1, mid);
}

void splitOnSpeedChange(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const StreamPoint& head = ac.stream[0];
    const StreamPoint& aim = ac.stream[1];
    if (!(head.groundSpeedKt > 0.0 || aim.groundSpeedKt > 0.0)) return;
    if (std::fabs(head.groundSpeedKt - aim.groundSpeedKt) <= 5.0) return;
    if (gf_distanceNm(latLonOf(head), latLonOf(aim)) * 1852.0 < 100.0) return;
    insertMidpoint(ac);
}

void curveMotionStep(LiveAircraft& ac) {
    ac.curveT = std::min(ac.curveT + ac.curveTStep, 0.999999);
    CurvePoint p;
    if (!gf_curvePoint(ac.curve, ac.curveT, p)) {
        gf_logError(fmt::format("{} error in curve at index: {:.2F}", ac.identity.callsign, ac.curveT));
        return;
    }
    ac.position[kPosLat] = p.latitude;
    ac.position[kPosLon] = p.longitude;
    const double wanted = ac.phase == MovementPhase::PushingBack ? wrapHeading(p.heading + kPi) : p.heading;
    ac.position[kPosHeading] = turnTowards(ac.position[kPosHeading], wanted, ac.turnStep);
}
