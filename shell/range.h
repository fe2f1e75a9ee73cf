// The traffic radius: the lateral range that the feed's query box and the simulator's objects
// request use, and the value typed while automatic range was off. Atomics; any thread reads them,
// the run thread and the GUI thread set them, each write of LATERAL_RANGE and the radius under one
// small lock of this file (nothing but the LATERAL_RANGE field's text is written under it), so that the
// automatic range of the run thread and the manual range restored by the window never interleave.
#pragma once

#include <atomic>
#include <cstdint>

// The last LATERAL_RANGE typed or kept while automatic range was off.
extern std::atomic<std::int32_t> manualLateralRange;
// Traffic radius in nautical miles, and in metres plus 10000 (scan radius of the objects request).
extern std::atomic<double> rangeNm;
extern std::atomic<std::int32_t> rangeMetres;

// Sets both forms of the traffic radius from nautical miles (LATERAL_RANGE unchanged).
void gf_setTrafficRadius(std::int32_t radiusNm);
// LATERAL_RANGE to the value clamped to its limits, and the traffic radius to the clamped value, so that
// an out-of-range request never widens the traffic query.
void gf_setRange(std::int32_t radiusNm);
// The range values back to their start (manual and traffic radius = radiusNm).
void gf_resetRange(std::int32_t radiusNm);
// The automatic radius into LATERAL_RANGE (clamped, its field shown when it changed) and the traffic
// radius, unless AUTO_RANGE is off by now: a computation that the window switched off while it ran
// writes nothing. False when nothing was written; lateralChanged tells whether LATERAL_RANGE changed.
bool gf_setAutoRange(std::int32_t radiusNm, bool& lateralChanged);
// AUTO_RANGE switched off: LATERAL_RANGE and the traffic radius back to the manual range (clamped),
// and its field shown.
void gf_restoreManualRange();
