// The window's requests served on the run thread, against the engine harness: the live list's
// indexes stay true through them, and the notices that follow find the right aircraft.
#include <gtest/gtest.h>

#include <string>

#include "app/window_requests.h"
#include "engine/engine_state.h"
#include "simlink/commands.h"
#include "tests/common/engine_harness.h"

namespace {

LiveAircraft& addLive(uint32_t hexid, SimState state, uint32_t objectId) {
    LiveAircraft ac;
    ac.id = hexid;
    ac.identity.callsign = "TS" + std::to_string(hexid & 0xff);
    ac.simState = state;
    LiveAircraft& added = lf_appendLive(std::move(ac));
    lf_setLiveObjectId(added, objectId);
    return added;
}

void queueCreation(const LiveAircraft& ac) {
    SpawnOrder order;
    order.id = ac.id;
    order.callsign = ac.identity.callsign;
    liveCreateFifo.push_back(order);
}

// A time shift takes every live aircraft out. Aircraft still waiting in the creation queue leave the
// list at once, wherever they stand in it; the others keep their order, and their removal notices
// later end exactly the aircraft they name.
TEST(WindowRequests, TimeShiftKeepsTheLiveIndexesTrue) {
    struct Case {
        const char* name;
        const char* list;  // per aircraft: A active, Q waiting in the creation queue, S creation already sent
    };
    const Case cases[] = {
        {"queued first", "QAA"},
        {"queued in the middle", "AQAS"},
        {"two queued apart", "AQSQAA"},
    };
    for (const Case& c : cases) {
        EngineHarness h;
        std::vector<uint32_t> kept, dropped, active;
        for (std::size_t i = 0; c.list[i] != 0; ++i) {
            const uint32_t hexid = 0x500000 + uint32_t(i);
            const char kind = c.list[i];
            LiveAircraft& ac = addLive(hexid, kind == 'A' ? SimState::Active : SimState::Adding2Sim,
                                       kind == 'A' ? 300 + uint32_t(i) : 0);
            if (kind == 'Q') {
                queueCreation(ac);
                dropped.push_back(hexid);
            } else {
                kept.push_back(hexid);
                if (kind == 'A') active.push_back(hexid);
            }
        }
        ASSERT_EQ(gf_liveIndexMismatch(), "") << c.name;
        gf_requestTimeShiftRemovals();
        h.serveWindowRequests();
        EXPECT_TRUE(h.violations.empty()) << c.name << ": " << (h.violations.empty() ? "" : h.violations.front());
        ASSERT_EQ(liveList.size(), kept.size()) << c.name;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(liveList[i].id, kept[i]) << c.name << ": the others keep their order";
            EXPECT_EQ(gf_liveByHexid(kept[i]), &liveList[i]) << c.name;
        }
        for (uint32_t hexid : dropped) EXPECT_EQ(gf_liveByHexid(hexid), nullptr) << c.name;

        // The simulator confirms every removal: each notice ends its own aircraft, and only that one.
        ASSERT_TRUE(h.tickUntil([&] { return h.removed.size() == active.size(); }, 200)) << c.name;
        h.tick(2);
        for (uint32_t hexid : active) EXPECT_EQ(gf_liveByHexid(hexid), nullptr) << c.name << " " << hexid;
        for (const LiveAircraft& ac : liveList) {
            EXPECT_NE(ac.simState, SimState::RemovingFromSim) << c.name << ": " << ac.identity.callsign;
            EXPECT_EQ(ac.removeWhenCreated, 1) << c.name << ": the sent creation is removed once it exists";
        }
        EXPECT_EQ(liveList.size(), kept.size() - active.size()) << c.name;
        EXPECT_TRUE(h.violations.empty()) << c.name << ": " << (h.violations.empty() ? "" : h.violations.front());
    }
}

}  // namespace
