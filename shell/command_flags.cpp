#include "shell/command_flags.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

std::atomic<std::uint8_t> flushStaticRequested{0};
std::atomic<std::uint8_t> reReadRequested{0};
std::atomic<std::uint8_t> renewalRequested{0};
std::atomic<std::uint8_t> renewalPtOnly{0};
std::atomic<std::uint8_t> uiBusy{0};
std::atomic<std::uint8_t> simNotYetOpened{1};

void gf_readerStopped(const std::string& readerName, bool restartable) {
    gf_showStatus(fmt::format("The {} has stopped with an error", readerName), true);
    if (restartable)
        gf_requestStop(EXIT_READER_ERROR, 15);
    else
        gf_requestStop(EXIT_SYSTEM_ERROR, 0);
}

void gf_simDisconnected() {
    if (stopRequested.load() != 0) return;
    gf_log(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_nowText(), programShortName));
    gf_requestStop(EXIT_SIM_WAS_CLOSED, 0);
}

void gf_resetCommandFlags() {
    flushStaticRequested.store(0);
    reReadRequested.store(0);
    renewalRequested.store(0);
    renewalPtOnly.store(0);
    uiBusy.store(0);
    simNotYetOpened.store(1);
}
