#include "shell/run_flags.h"

#include <array>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>

std::atomic<std::uint8_t> stopRequested{0};
std::atomic<std::uint8_t> userClosed{0};
std::atomic<std::uint8_t> simRunning{0};
std::atomic<std::uint8_t> simConnectError{0};
std::atomic<std::uint8_t> secondTick{0};
std::atomic<std::uint8_t> userOnGround{0};
std::atomic<std::uint8_t> userOnGroundValid{0};
std::atomic<ExitReason> exitReason{EXIT_NOT_YET_SET};
std::atomic<std::uint32_t> restartDelaySec{0};
std::atomic<std::uint8_t> restartPending{0};
std::atomic<std::uint32_t> userCloseRequests{0};

namespace {
// Serialises the writers of a stop, so that the reason and the delay of the first writer are complete
// before any thread can see the stop flag. A leaf lock: nothing else is taken while it is held.
std::mutex stopWriterMutex;

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 8> exitReasonTexts{{
    {EXIT_NOT_YET_SET, "NOT YET SET"},
    {EXIT_SIM_WAS_CLOSED, "SIM WAS CLOSED"},
    {EXIT_NEW_FLIGHT, "NEW FLIGHT"},
    {EXIT_NEW_SETTINGS, "NEW SETTINGS"},
    {EXIT_USER_CLOSED_SIM, "USER CLOSED SIM"},
    {EXIT_SIMCONNECT_ERROR, "SIMCONNECT ERROR"},
    {EXIT_READER_ERROR, "READER ERROR"},
    {EXIT_SYSTEM_ERROR, "SYSTEM ERROR"},
}};
}  // namespace

bool gf_stopUnderWay() { return stopRequested.load() != 0 || userClosed.load() != 0; }

bool gf_requestStop(ExitReason reason, std::uint32_t delaySec) {
    std::lock_guard lock(stopWriterMutex);
    if (stopRequested.load()) return false;
    exitReason.store(reason);
    restartDelaySec.store(delaySec);
    stopRequested.store(1);
    return true;
}

void gf_setExitReasonIfUnset(ExitReason reason) {
    std::lock_guard lock(stopWriterMutex);
    ExitReason none = EXIT_NOT_YET_SET;
    exitReason.compare_exchange_strong(none, reason);
}

void gf_requestUserClose() {
    std::lock_guard lock(stopWriterMutex);
    // Counted before the flag is raised: whoever sees the flag also sees this close counted.
    userCloseRequests.fetch_add(1);
    userClosed.store(1);
    ExitReason none = EXIT_NOT_YET_SET;
    exitReason.compare_exchange_strong(none, EXIT_USER_CLOSED_SIM);
    stopRequested.store(1);
}

std::string_view gf_exitReasonText(std::uint32_t code) {
    static const std::unordered_map<std::uint32_t, std::string_view> byCode(exitReasonTexts.begin(),
                                                                            exitReasonTexts.end());
    return byCode.at(code);
}

bool gf_exitRestarts(std::uint32_t code) {
    return code == EXIT_NEW_SETTINGS || code == EXIT_SIMCONNECT_ERROR || code == EXIT_READER_ERROR;
}

void gf_resetRunFlags() {
    std::lock_guard lock(stopWriterMutex);
    userClosed.store(0);
    stopRequested.store(0);
    exitReason.store(EXIT_NOT_YET_SET);
    secondTick.store(0);
    userCloseRequests.store(0);
    simRunning.store(0);
    simConnectError.store(0);
}
