// The engine harness checks itself: a scenario that breaks an invariant fails its test at the harness's
// end, and simulator objects that no aircraft holds any more are found.
#include <string>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "tests/common/engine_harness.h"

namespace {

// A static aircraft marked as removing while no removal was ever queued: it would wait for good.
void removingWithoutRemoval() {
    SimAircraft s;
    s.id = 5;
    s.objectId = 700;
    s.identity.callsign = "NOREM*";
    s.simState = SimState::RemovingFromSim;
    staticList.push_back(s);
}

}  // namespace

TEST(HarnessSelfCheck, AViolationFailsTheTestAtTheHarnessEnd) {
    EXPECT_NONFATAL_FAILURE(
        {
            EngineHarness h;
            removingWithoutRemoval();
            h.tick();
        },
        "NOREM* removing without a queued or sent removal");
}

TEST(HarnessSelfCheck, ViolationsTakenOutFailNothing) {
    EngineHarness h;
    removingWithoutRemoval();
    h.tick();
    const std::vector<std::string> found = h.takeViolations();
    ASSERT_FALSE(found.empty());
    EXPECT_NE(found.front().find("NOREM*"), std::string::npos) << found.front();
}
