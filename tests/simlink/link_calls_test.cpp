#include "shell/display.h"
#include "tests/simlink/link_fixture.h"

#include <fmt/format.h>

#include <functional>

namespace {

// ---------------------------------------------------------------------------------------------
// Failed calls: each has its own log line, and all but the packet id end the run with
// "SIMCONNECT ERROR" and a restart after 9 seconds.
// ---------------------------------------------------------------------------------------------

struct FailedCall {
    const char* call;  // the call the simulator refuses
    int failures;
    std::function<void()> act;
    std::vector<std::string> logLines;
    bool endsRun;
};

TEST_F(LinkTest, FailedCallsAreLoggedAndEndTheRunWithSimconnectError) {
    connect();
    learnUser();
    const std::uint32_t first = createAndRecognise("KLM1", 0x484B01).objectId;
    const FailedCall cases[] = {
        {"requestDataOnSimObject",
         1,
         [] { gf_requestUserPosition(); },
         {"===> SimConnect request user ac position fails"},
         true},
        {"requestDataOnSimObject",
         2,
         [] { gf_requestUserTitleAndModel(); },
         {"===> SimConnect request user ac title fails", "===> SimConnect reques user ac model fails"},
         true},
        {"requestDataOnSimObject",
         1,
         [] { gf_requestUserOnGround(); },
         {"===> SimConnect request ac gnd/air fails"},
         true},
        {"aiRemoveObject",
         1,
         [this, first] {
             {
                 std::lock_guard lock(simQueueMutex);
                 removeQueue.push_back(first);
             }
             ASSERT_TRUE(pump(50));
         },
         {fmt::format("!Simconnect call to remove AI ac from sim failed, id {}?", first)},
         true},
        {"getLastSentPacketId",
         1,
         [this] {
             // Without its packet id the creation is still recognised by its callsign.
             queueCreate("KLM2", kTitleA320, 0x484B02);
             ASSERT_TRUE(pump(50));
             ASSERT_TRUE(pump(100));
             scan();
             ASSERT_TRUE(pump());
             auto n = takeNotices();
             std::erase_if(n, [](const SimNotice& x) { return x.kind == 3; });  // ground data of the first one
             ASSERT_EQ(n.size(), 1u);
             EXPECT_EQ(n[0].kind, 0u);
             EXPECT_EQ(n[0].id, 0x484B02u);
         },
         {"===> GetLastSentPacketID"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logLines.front());
        stopRequested = 0;
        exitReason = EXIT_NOT_YET_SET;
        restartDelaySec = 0;
        simConnectError = 0;
        mainWindow.resetRunFields();
        CapturedLog log;
        sim->failCalls(c.call, c.failures);
        c.act();
        for (const auto& line : c.logLines) EXPECT_NE(log.text().find(line), std::string::npos) << log.text();
        EXPECT_EQ(stopRequested.load(), c.endsRun ? 1 : 0);
        EXPECT_EQ(simConnectError.load(), c.endsRun ? 1 : 0);
        if (c.endsRun) {
            EXPECT_EQ(exitReason.load(), EXIT_SIMCONNECT_ERROR);
            EXPECT_EQ(restartDelaySec.load(), 9u);
            EXPECT_EQ(gf_statusSnapshot().statusText, "SimConnect request error");
        }
    }
    // After a failure the user's position is no longer asked for.
    simConnectError = 1;
    const auto asked = countCalls("requestDataOnSimObject 109 ");
    gf_requestUserPosition();
    EXPECT_EQ(countCalls("requestDataOnSimObject 109 "), asked);
}

// ---------------------------------------------------------------------------------------------
// Answers and messages not covered by the creation hand-shake
// ---------------------------------------------------------------------------------------------

TEST_F(LinkTest, TheStaticCentreOfGravityAnswerBecomesNoticeFour) {
    connect();
    learnUser();
    const std::uint32_t id = createAndRecognise("KLM1234", 0x484B12).objectId;
    {
        std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(vsim::requestDataOnSimObject(gf_simHandle(), vsim::kReqStaticCg, vsim::kDefStaticCg, id,
                                               vsim::Period::Once),
                  vsim::kOk);
    }
    ASSERT_TRUE(pump());
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].kind, 4u);
    EXPECT_EQ(n[0].objectId, id);
    EXPECT_EQ(n[0].id, 0u);
    EXPECT_DOUBLE_EQ(n[0].a, 9.0);   // feet, the title's static CG height
    EXPECT_DOUBLE_EQ(n[0].b, 0.01);  // radians
}

TEST_F(LinkTest, ARefusalWithoutAPendingCreationIsIgnored) {
    connect();
    learnUser();
    queueCreate("KLM1234", kTitleA320, 0x484B12);
    ASSERT_TRUE(pump(50));
    ASSERT_EQ(pendingCreates.size(), 1u);
    sim->injectException(vsim::ExceptionCreateObjectFailed, pendingCreates[0].packetId + 1000);
    ASSERT_TRUE(pump());
    EXPECT_TRUE(takeNotices().empty());
    EXPECT_EQ(pendingCreates.size(), 1u);
    EXPECT_EQ(stopRequested.load(), 0);
}

class NamelessSimulator : public LinkTest {
protected:
    vsim::StandInConfig config() override {
        auto c = linkStandInConfig();
        c.applicationName = "";
        return c;
    }
};

TEST_F(NamelessSimulator, IsLoggedAndNotTakenAsConnected) {
    CapturedLog log;
    ASSERT_TRUE(lf_openSimConnect());
    ASSERT_TRUE(pump());
    EXPECT_NE(log.text().find("! Simulator name empty?\n"), std::string::npos);
    EXPECT_FALSE(mainWindow.simConnected.load());
    EXPECT_EQ(mainWindow.simulatorText.get(), "");
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "");
    EXPECT_EQ(stopRequested.load(), 0);
}

}  // namespace

namespace {

TEST_F(LinkTest, AnUnrecognisedIdIsLoggedOnlyInAFlightThatGoesOn) {
    connect();
    learnUser();
    struct Case {
        bool stop;
        bool closed;
        bool logged;
    };
    for (const Case c : {Case{false, false, true}, Case{true, false, false}, Case{false, true, false}}) {
        CapturedLog log;  // clears both flags
        stopRequested = c.stop ? 1 : 0;
        userClosed = c.closed ? 1 : 0;
        sim->injectException(vsim::ExceptionUnrecognizedId);
        ASSERT_TRUE(pump());
        EXPECT_EQ(log.text().find("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID") != std::string::npos, c.logged)
            << c.stop << c.closed;
    }
}

}  // namespace
