// The message line at the bottom of the main window: one short text at a time, written from any
// thread. An ordinary text expires 25 counted seconds after it was shown; an error shown through
// gf_showError is held (red) and blocks ordinary texts until gf_clearHeldError.
//
// Lock order: statusMutex is taken before the log mutex; nothing else is locked under it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Shows the text (empty: clears the line). Ignored while an error is held. Writes it to the log
// when log is set and the text is not empty.
void gf_showStatus(std::string_view text, bool log);
// Empties the message line (a held error stays).
void gf_clearStatus();
// Shows the text as the held error and logs "Error {}".
void gf_showError(std::string_view text);
// Empties the held error, then the message line.
void gf_clearHeldError();
// "" for 1 and every negative count, else "s".
std::string gf_pluralLetter(std::int32_t count);

// The once-a-second step of the main loop: advances the seconds counter and lets an ordinary text
// expire 25 seconds after it was shown.
void gf_statusSecondStep();

// Copies of the status line for painting and tests.
struct StatusLineSnapshot {
    std::string statusText;
    std::string heldErrorText;
    std::uint32_t secondsCounter = 0;
    std::uint32_t shownAt = 0;
};
StatusLineSnapshot gf_statusSnapshot();

inline constexpr std::uint32_t kStatusExpirySeconds = 25;
