#include "shell/status_line.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "shell/display.h"

void gf_showStatus(std::string_view text, bool log) {
    std::lock_guard lock(mainWindow.statusMutex);
    if (!mainWindow.heldErrorText.empty()) return;
    mainWindow.statusText.assign(text);
    if (!text.empty()) {
        mainWindow.shownAt = mainWindow.secondsCounter > 0 ? mainWindow.secondsCounter : 1;
    } else {
        mainWindow.shownAt = 0;
    }
    if (log && !text.empty()) gf_logLine(mainWindow.statusText);
    mainWindow.invalidate(panel::message);
}

void gf_clearStatus() { gf_showStatus({}, true); }

void gf_showError(std::string_view text) {
    std::lock_guard lock(mainWindow.statusMutex);
    mainWindow.statusText.clear();
    mainWindow.shownAt = 0;
    mainWindow.heldErrorText.assign(text);
    gf_logLine(fmt::format("Error {}", mainWindow.heldErrorText));
    mainWindow.invalidate(panel::message);
}

void gf_clearHeldError() {
    {
        std::lock_guard lock(mainWindow.statusMutex);
        mainWindow.heldErrorText.clear();
    }
    gf_clearStatus();
}

std::string gf_pluralLetter(std::int32_t count) { return count == 1 || count < 0 ? std::string() : std::string("s"); }

void gf_statusSecondStep() {
    // The test and the clearing under one lock: a text another thread shows at this very moment is
    // not wiped as if it had expired.
    std::lock_guard lock(mainWindow.statusMutex);
    ++mainWindow.secondsCounter;
    const bool expired =
        mainWindow.shownAt > 0 && static_cast<std::int32_t>(mainWindow.secondsCounter - mainWindow.shownAt) >=
                                      static_cast<std::int32_t>(kStatusExpirySeconds);
    if (!expired) return;
    mainWindow.statusText.clear();
    mainWindow.shownAt = 0;
    mainWindow.invalidate(panel::message);
}

StatusLineSnapshot gf_statusSnapshot() {
    std::lock_guard lock(mainWindow.statusMutex);
    return {mainWindow.statusText, mainWindow.heldErrorText, mainWindow.secondsCounter, mainWindow.shownAt};
}
