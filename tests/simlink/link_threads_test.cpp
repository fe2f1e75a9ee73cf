#include "tests/simlink/link_fixture.h"

#include <functional>
#include <thread>

#include "foundation/clock.h"
#include "shell/display.h"

namespace {

using namespace std::chrono_literals;

// Polls a condition from the test thread while the client thread works; a generous bound keeps
// a broken build from hanging.
template <class Pred>
bool waitFor(Pred pred, const std::function<void()>& step = {}) {
    for (int i = 0; i < 20000; ++i) {
        if (pred()) return true;
        if (step) step();
        std::this_thread::sleep_for(1ms);
    }
    return pred();
}

class LinkThreads : public LinkTest {};

TEST_F(LinkThreads, TheClientThreadConnectsCreatesRecognisesAndCloses) {
    sim->failOpens(2);  // the simulator is not there at first
    ManualClock clock;  // the retries a second apart run through at once
    ScopedClock scoped(clock);
    CapturedLog log;
    std::jthread client(SimClient);
    ASSERT_TRUE(waitFor([] { return mainWindow.simConnected.load() && simRunning.load() == 1; }));
    EXPECT_EQ(mainWindow.simulatorText.get(), "MSFS 2020 (11.0.282174.0)");

    // The engine's side, on this thread: learn the user, queue a creation, scan every step.
    ASSERT_TRUE(waitFor([] { return userObjectId.load() != 0; }, [] { gf_requestUserPosition(); }));
    queueCreate("KLM1234", kTitleA320, 0x484B12);
    std::vector<SimNotice> notices;
    ASSERT_TRUE(waitFor([&] { return !notices.empty(); },
                        [&] {
                            sim->advance(50ms);
                            std::lock_guard lock(simQueueMutex);
                            (void)vsim::requestDataOnSimObjectType(gf_simHandle(), vsim::kReqAircraftInRange,
                                                                   vsim::kDefGround, 20000,
                                                                   vsim::SimObjectType::Aircraft);
                            for (const auto& n : gf_pendingEngineNotices())
                                if (n.kind == 0) notices.push_back(n);
                        }));
    EXPECT_EQ(notices[0].id, 0x484B12u);
    const auto id = notices[0].objectId;

    // One tick's position through the double buffer.
    positionBackBuffer->push_back(PositionUpdate{vsim::PositionBlock{52.31, 4.77, 0, 0, 0, 9, 0, 0}, id});
    {
        std::lock_guard lock(simQueueMutex);
        std::swap(positionBackBuffer, positionFrontBuffer);
        positionBackBuffer->clear();
    }
    ASSERT_TRUE(waitFor([&] { return sim->object(id)->positionWrites > 0; }, [&] { sim->advance(50ms); }));
    EXPECT_DOUBLE_EQ(sim->object(id)->position.latitude, 52.31);

    client.request_stop();
    client.join();
    EXPECT_EQ(sim->openConnections(), 0);
    EXPECT_FALSE(mainWindow.simConnected.load());
    const std::string text = log.text();
    EXPECT_EQ(text.find("Waiting for MSFS 2020 ..."), text.rfind("Waiting for MSFS 2020 ..."));
    EXPECT_NE(text.find("Waiting for MSFS 2020 ..."), std::string::npos);
    EXPECT_NE(text.find("SimConnect closed ok"), std::string::npos);
}

TEST_F(LinkThreads, AStopOfTheRunEndsTheWaitForTheSimulator) {
    sim->setRunning(false);
    ManualClock clock;
    ScopedClock scoped(clock);
    std::jthread client(SimClient);
    ASSERT_TRUE(waitFor([&] { return clock.sleepCount() > 3; }));
    stopRequested = 1;
    client.join();
    EXPECT_EQ(sim->openConnections(), 0);
}

TEST_F(LinkThreads, AFrameThatFindsTheCommandAreaBusyIsSkipped) {
    connect();
    learnUser();
    queueCreate("KLM1234", kTitleA320, 0x484B12);
    {
        std::lock_guard lock(simQueueMutex);  // the engine holds the area during the frame
        sim->advance(50ms);
        std::thread client([] { lf_dispatchOnce(); });
        client.join();
    }
    EXPECT_EQ(countCalls("aiCreateNonAtcAircraft"), 0u);
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(countCalls("aiCreateNonAtcAircraft"), 1u);
}

}  // namespace
