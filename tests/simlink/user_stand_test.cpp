// The user's stand from the simulator thread: only on the ground does the user aircraft stand on a stand.
// At rest on a stand of the current park airport it becomes the list's reserved stand there and reaches
// the park-airport list file, the window shows it and the parked traffic leaves it free; hovering over the
// same stand it is none of these.
#include <fstream>
#include <iterator>

#include "airports/current_airport.h"
#include "airports/park_list.h"
#include "airports/stands.h"
#include "app/run_services.h"
#include "tests/common/sandbox.h"
#include "tests/simlink/link_fixture.h"

namespace {

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(LinkTest, TheUsersStandIsOnlyAStandOnTheGround) {
    struct Case {
        const char* name;
        vsim::UserWaypoint user;  // over stand A2
        const char* stand;        // the stand every caller sees
        const char* listFile;     // the park-airport list file afterwards
    };
    const std::vector<Case> cases = {
        {"hovering over the stand", {0, 52.3, 4.76, 60, 60, 90, 0}, "", "EDDF\nEHAM,A1\n"},
        {"at rest on the ground", {0, 52.3, 4.76, 5, -1, 90, 0}, "A2", "EDDF\nEHAM,A2\n"},
    };
    TempFolder folder;
    InWorkingFolder cwd(folder.path());
    fs::create_directories(folder / "airports");
    const fs::path list = folder / "airports" / "my_park_airports.txt";
    // A2 lies under the user aircraft, A1 a kilometre north.
    currentStands.clear();
    currentStands.emplace_back("A1", std::vector<StandOption>{}, 52.3 + 1000.0 / 1852.0 / 60.0, 4.76, 0.0, 20.0, 1, 1,
                               1);
    currentStands.emplace_back("A2", std::vector<StandOption>{}, 52.3, 4.76, 0.0, 20.0, 1, 1, 1);
    gf_publishStandPlaces();
    CurrentAirport eham;
    eham.icao = "EHAM";
    gf_setCurrentAirport(eham);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::ofstream out(list, std::ios::binary | std::ios::trunc);
            out << "EDDF\nEHAM,A1\n";
        }
        {
            std::lock_guard lock(parkAirportsMutex);
            parkAirports = {ParkAirportEntry{"EHAM", "A1", 52.31, 4.76, 0},
                            ParkAirportEntry{"EDDF", "", 50.03, 8.57, 0}};
        }
        sim->placeUser(c.user);
        connect();
        gf_requestUserOnGround();
        learnUser();
        ASSERT_TRUE(pump(1000));
        ASSERT_EQ(userOnGroundValid.load(), 1);
        ASSERT_EQ(userOnGround.load(), c.stand[0] != '\0' ? 1 : 0);
        learnUser();  // a state answer now that the on-ground answer came

        EXPECT_EQ(gf_standAtUserPosition(), c.stand) << "the parked-traffic reader's user stand";
        EXPECT_EQ(mainWindow.userStandText.get(), c.stand) << "the window's user stand";
        lf_checkUserStand();
        EXPECT_EQ(fileText(list), c.listFile) << "the stand stored as reserved";

        lf_endSimClient();
        resetLinkWorld();
    }

    currentStands.clear();
    gf_publishStandPlaces();
    gf_setCurrentAirport(CurrentAirport{});
    std::lock_guard lock(parkAirportsMutex);
    parkAirports.clear();
}

// A restart's clean-up empties the window's texts; the next run's first state answer shows the stand the user
// still stands on, and until it comes no caller sees the last run's stand.
TEST_F(LinkTest, TheNextRunShowsTheStandTheUserStillStandsOn) {
    currentStands.clear();
    currentStands.emplace_back("A2", std::vector<StandOption>{}, 52.3, 4.76, 0.0, 20.0, 1, 1, 1);
    gf_publishStandPlaces();
    sim->placeUser({0, 52.3, 4.76, 5, -1, 90, 0});
    RunServices run = gf_defaultRunServices();

    for (int pass = 1; pass <= 2; ++pass) {
        SCOPED_TRACE(pass == 1 ? "first run" : "the run after the restart");
        connect();
        gf_requestUserOnGround();
        learnUser();
        ASSERT_TRUE(pump(1000));
        learnUser();  // a state answer now that the on-ground answer came
        EXPECT_EQ(gf_userStandName(), "A2");
        EXPECT_EQ(mainWindow.userStandText.get(), "A2") << "the window's user stand";

        // The run's clean-up, as a restart runs it: the link and the window go back to their start.
        lf_endSimClient();
        run.resetSimLink();
        run.resetWindowState();
        EXPECT_EQ(gf_userStandName(), "") << "the last run's stand is forgotten";
        EXPECT_EQ(mainWindow.userStandText.get(), "");
    }

    currentStands.clear();
    gf_publishStandPlaces();
}

}  // namespace
