// The demo's trace summary: the same bytes as a parking file, a feed scenario, a trace and the program's
// log; a parking file that reads is then used for the apron counts and the airport panel of the map, the
// log's renewals for the statics counted at them.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tools/demotrace/demo_trace.h"
#include "tools/demotrace/renewals.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzz::text(data, size));
    demotrace::Apron apron;
    try {
        std::istringstream in(text);
        demotrace::readStands(in, apron);
    } catch (const std::runtime_error&) {}
    try {
        std::istringstream in(text);
        demotrace::readFeedParked(in, apron);
    } catch (const std::runtime_error&) {}
    std::istringstream in(text);
    const auto trace = demotrace::readTrace(in);
    const auto summary = demotrace::summarise(trace, apron);
    demotrace::summaryText(summary);
    demotrace::svgMap(trace, summary, apron);
    std::istringstream log(text);
    demotrace::renewalText(demotrace::summariseRenewals(trace, demotrace::readRenewals(log)));
    return 0;
}
