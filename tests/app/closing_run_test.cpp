// Closing the program while the simulator keeps running, as scripts/demo runs it: the park airport's static
// aircraft and the live traffic are in the simulator when the user closes the window. None of them is left behind
// there, and the log's removal lines are written while the link to the simulator is still open.
#include <string>

#include <gtest/gtest.h>

#include "tests/app/demo_run_fixture.h"

namespace {

using namespace demorun;
using namespace std::chrono_literals;

class ClosingRun : public DemoRun {
protected:
    // The program's objects in the simulator that are not on their way out.
    std::size_t objectsInTheSimulator() const {
        std::size_t n = 0;
        for (const vsim::ObjectInfo& o : sim_->objects())
            if (!o.isUser && !o.removed) ++n;
        return n;
    }
};

TEST_F(ClosingRun, NoAircraftIsLeftInTheSimulatorWhenTheProgramCloses) {
    startTheProgram();
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();
    ASSERT_TRUE(pumpUntil([] { return mainWindow.parkedStaticCount.load() > 0 && mainWindow.liveCount.load() > 0; }))
        << logTail();
    const std::size_t before = objectsInTheSimulator();
    ASSERT_GT(before, mainWindow.parkedStaticCount.load()) << "static and live aircraft are in the simulator";

    endTheRun();

    EXPECT_EQ(objectsInTheSimulator(), 0u) << "of " << before << "\n" << logTail();
    const std::string log = logText();
    const auto closed = log.find("SimConnect closed ok");
    ASSERT_NE(closed, std::string::npos) << logTail();
    const auto lastFlush = log.rfind("removed, static aircraft flushed");
    ASSERT_NE(lastFlush, std::string::npos) << logTail();
    EXPECT_LT(lastFlush, closed) << "the statics are logged as removed while the link is open\n" << logTail();
    EXPECT_EQ(log.find("not removed"), std::string::npos) << logTail();
    EXPECT_EQ(log.find("not confirmed"), std::string::npos) << logTail();
}

// The simulator quit before the program closes: nothing can be removed any more, and the log says so instead of
// logging removals that never reach it.
TEST_F(ClosingRun, AfterTheSimulatorQuitTheLogSaysNothingWasRemoved) {
    startTheProgram();
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();
    ASSERT_TRUE(pumpUntil([] { return mainWindow.parkedStaticCount.load() > 0; })) << logTail();
    sim_->quit();
    ASSERT_TRUE(pumpUntil([] { return simRunning.load() == 0; })) << logTail();

    endTheRun();

    const std::string log = logText();
    const auto exiting = log.find("Exiting: ");
    ASSERT_NE(exiting, std::string::npos) << logTail();
    const std::string closing = log.substr(exiting);
    EXPECT_NE(closing.find(" aircraft not removed from the simulator: it runs no flight"), std::string::npos)
        << closing;
    EXPECT_EQ(closing.find("removed, static aircraft flushed"), std::string::npos) << closing;
}

}  // namespace
