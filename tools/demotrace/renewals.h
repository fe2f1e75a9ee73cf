#pragma once
// The renewals of the parking plan: read from the program's log (Log.txt), placed on the trace's clock,
// and what the stand-in simulator saw of them: the statics created after each renewal and the statics
// whose removal the program asked for right at it. Times are milliseconds of the trace.
#include <istream>
#include <string>
#include <vector>

#include "tools/demotrace/demo_trace.h"

namespace demotrace {

// One renewal as the log tells it: the UTC second of day of its "(utc) It is day" line and the counts of
// its "Parking adjustments: N to be removed, M to be added" line (or "ParkTraffic changes: ...").
struct Renewal {
    int utcSecondOfDay = 0;
    int toBeRemoved = 0, toBeAdded = 0;
};

// Every renewal of the log, in its order. Lines that are not the ones above are skipped; a count line
// without a time line before it is no renewal. Never throws on any text.
std::vector<Renewal> readRenewals(std::istream& log);

struct RenewalSummary {
    int renewals = 0;
    int toBeRemoved = 0, toBeAdded = 0;  // summed over the renewals, as the log planned them
    bool timed = false;                  // the trace has its clock: the statics below are counted
    int placed = 0;                      // statics created after a renewal, before the next one
    int removed = 0;                     // statics whose removal was asked for right at a renewal
};

// How long after a renewal a static's removal still counts as the renewal's (the program asks for it
// in the renewal's step; the link passes it on at once).
constexpr double kRenewalRemovalMs = 20000.0;
// A renewal's log line carries whole seconds: events up to this much before it are the renewal's.
constexpr double kRenewalSlackMs = 1000.0;

RenewalSummary summariseRenewals(const Trace& trace, const std::vector<Renewal>& renewals);
// "renewals         1 (statics placed 7, removed 2; the log: 7 to be added, 2 to be removed)".
std::string renewalText(const RenewalSummary& summary);

}  // namespace demotrace
