// The user's stand from the simulator thread: on the ground and at rest on a stand of the current park
// airport, it becomes the list's reserved stand there and reaches the park-airport list file.
#include <fstream>
#include <iterator>

#include "airports/current_airport.h"
#include "airports/park_list.h"
#include "airports/stands.h"
#include "tests/common/sandbox.h"
#include "tests/simlink/link_fixture.h"

namespace {

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(LinkTest, TheUsersStandAtRestReachesTheParkAirportList) {
    TempFolder folder;
    InWorkingFolder cwd(folder.path());
    fs::create_directories(folder / "airports");
    const fs::path list = folder / "airports" / "my_park_airports.txt";
    {
        std::ofstream out(list, std::ios::binary);
        out << "EDDF\nEHAM,A1\n";
    }
    // A2 lies under the user aircraft of the stand-in (52.3/4.76), A1 a kilometre north.
    currentStands.clear();
    currentStands.emplace_back("A1", std::vector<StandOption>{}, 52.3 + 1000.0 / 1852.0 / 60.0, 4.76, 0.0, 20.0, 1, 1,
                               1);
    currentStands.emplace_back("A2", std::vector<StandOption>{}, 52.3, 4.76, 0.0, 20.0, 1, 1, 1);
    gf_publishStandPlaces();
    CurrentAirport eham;
    eham.icao = "EHAM";
    gf_setCurrentAirport(eham);
    {
        std::lock_guard lock(parkAirportsMutex);
        parkAirports = {ParkAirportEntry{"EHAM", "A1", 52.31, 4.76, 0}, ParkAirportEntry{"EDDF", "", 50.03, 8.57, 0}};
    }

    connect();
    gf_requestUserOnGround();
    learnUser();
    ASSERT_TRUE(pump(1000));
    ASSERT_EQ(userOnGroundValid.load(), 1);
    lf_checkUserStand();
    EXPECT_EQ(gf_firstParkAirport()->reservedStand, "A2");
    EXPECT_EQ(fileText(list), "EDDF\nEHAM,A2\n");

    currentStands.clear();
    gf_publishStandPlaces();
    gf_setCurrentAirport(CurrentAirport{});
    std::lock_guard lock(parkAirportsMutex);
    parkAirports.clear();
}

}  // namespace
