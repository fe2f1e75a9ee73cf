// The flight-plan writer thread: files written and deleted in the order asked for while the run
// thread keeps asking, failures logged, and every queued job done before the writer is joined.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "foundation/log.h"
#include "tests/common/sandbox.h"

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class FlightPlanWriterThreads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gf_createFlightPlanFolder()); }
    void TearDown() override {
        gf_stopFlightPlanWriter();
        gf_removeFlightPlanFolder();
    }
    static SimAircraft plan(const std::string& origin, AircraftCategory category = AircraftCategory::Large) {
        SimAircraft ac;
        ac.category = static_cast<uint32_t>(category);
        ac.identity.callsign = "WR" + origin;
        ac.identity.origin = origin;
        ac.identity.destination = "LSZH";
        return ac;
    }
    TempFolder folder;
    ScopedEnv appData{"VEXA_APPDATA", folder.path().string()};
};

}  // namespace

TEST_F(FlightPlanWriterThreads, FilesFollowTheOrderAskedForWhileTheWriterRuns) {
    // Per object: written, deleted, and for every third one written again with another origin.
    for (uint32_t id = 1000; id < 1300; ++id) {
        gf_queueFlightPlan(plan("EDDF"), id, false);
        if (id % 2 == 0) gf_deleteFlightPlan(id);
        if (id % 3 == 0) gf_queueFlightPlan(plan("EGLL", AircraftCategory::Light), id, false);
    }
    gf_waitFlightPlanWriter();
    for (uint32_t id = 1000; id < 1300; ++id) {
        const auto path = gf_flightPlanPath(id);
        if (id % 3 == 0) {
            const std::string text = readFile(path);
            EXPECT_NE(text.find("<DepartureID>EGLL</DepartureID>"), std::string::npos) << id;
            EXPECT_NE(text.find("<FPType>VFR</FPType>"), std::string::npos) << id;
        } else {
            EXPECT_EQ(std::filesystem::exists(path), id % 2 != 0) << id;
        }
    }
}

TEST_F(FlightPlanWriterThreads, StopDoesEveryQueuedJobBeforeTheJoinAndALaterJobStartsItAgain) {
    for (uint32_t id = 2000; id < 2100; ++id) gf_queueFlightPlan(plan("EDDM"), id, false);
    gf_stopFlightPlanWriter();
    for (uint32_t id = 2000; id < 2100; ++id) EXPECT_TRUE(std::filesystem::exists(gf_flightPlanPath(id))) << id;
    gf_deleteFlightPlan(2000);
    gf_waitFlightPlanWriter();
    EXPECT_FALSE(std::filesystem::exists(gf_flightPlanPath(2000)));
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanPath(2001)));
}

TEST_F(FlightPlanWriterThreads, FailuresAreLoggedByTheWriter) {
    const auto log = folder / "Log.txt";
    gf_openLog(log);
    // A folder in the file's place: the plan cannot be written, nor deleted as a file.
    std::filesystem::create_directories(gf_flightPlanPath(3000) / "keep");
    gf_queueFlightPlan(plan("LFPG"), 3000, false);
    gf_deleteFlightPlan(3000);
    gf_waitFlightPlanWriter();
    gf_closeLog();
    const std::string text = readFile(log);
    EXPECT_NE(text.find("WRLFPG"), std::string::npos) << text;
    EXPECT_NE(text.find("creating a flight plan failed"), std::string::npos) << text;
    EXPECT_NE(text.find("===> flight plan 3000 not deleted"), std::string::npos) << text;
}
