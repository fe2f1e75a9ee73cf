#pragma once
// The two things the airport subsystem asks of the main window that the shell does not offer: the traffic
// range to follow a learned AUTO_RANGE (the automatic range looks at the park airports and the user aircraft,
// which live above this folder), and the "Flush static" button to be enabled once a park airport's file has
// been read. The window registers the hooks at start; without them (tests, tools) nothing happens.
//
// Threads: registered once before a run starts; called on the run thread.
#include <functional>

struct AirportUiHooks {
    // AUTO_RANGE was switched by a learned file: on, the hand-set range is kept and the automatic range takes
    // over; off, the hand-set range is applied again. Then the LATERAL_RANGE field shows the range.
    std::function<void(bool autoRangeOn)> applyAutoRange;
    std::function<void()> enableFlushStatic;
};

void gf_setAirportUiHooks(AirportUiHooks hooks);

void gf_apfApplyAutoRange(bool autoRangeOn);
void gf_apfEnableFlushStatic();
