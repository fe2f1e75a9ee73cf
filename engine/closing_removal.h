#pragma once
// The end of a run: every aircraft the run put into the simulator is taken out of it again while the link to the
// simulator is still open, so that none is left behind in a simulator that keeps running.
//
// Run thread, after the main loop has ended: no engine tick runs any more, so the wait below does the tick's part
// for the removals (the inbox, the queued removals, the objects request that recognises a late creation).
#include <cstddef>
#include <cstdint>

// Queues the removal of every live aircraft: one in the simulator is removed, one whose creation is under way is
// removed once created, one that never got there leaves the list at once. (The static aircraft go with
// gf_flushStaticAircraft.)
void gf_removeAllLiveAircraft();
// What the closing down still waits for.
struct ClosingRemoval {
    std::size_t aircraft = 0;        // in the simulator, or on their way into it or out of it
    std::size_t unsentRemovals = 0;  // removals the link has not yet sent (also of objects no aircraft holds)
    bool done() const { return aircraft == 0 && unsentRemovals == 0; }
};
// One step of the wait for the simulator's confirmations, meant every 10 ms from step 0 on: handles the notices
// that came, hands every queued removal to the link at once (nothing else is sent any more, so they need no
// pacing) and, every 20th step while a creation is unanswered, asks for the objects around the user so that the
// late object is recognised and removed.
ClosingRemoval gf_closingRemovalStep(std::uint32_t step);
// The link to the simulator is closed: no removal can reach it any more. Empties the engine's lists and queues
// of aircraft and returns how many of them were in the simulator or on their way into it.
std::size_t gf_dropAircraftOfClosedLink();
