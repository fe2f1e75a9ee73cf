#pragma once
// The program's log file and its own exception types.
//
// Every thread reports to one text file, Log.txt in the program folder. Each line is written whole under
// the log mutex and flushed at once, so that a crash never loses what was already reported. The log mutex
// is always the last lock a thread takes.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ovk {

// An error the user must act on. Its text carries the number the user can quote: "{}: {}" with number and
// message, or the message alone for number 99. The number is not kept apart from the text.
class UserErrorException : public std::runtime_error {
public:
    UserErrorException(std::int32_t number, const std::string& message);
};

}  // namespace ovk

// Name of the log file in the program folder.
inline constexpr std::string_view logFileName = "Log.txt";

// Keeps the two previous logs (gf_backupFile), opens the log with truncation and writes the header line
// "{} (utc) {} version {} for {}". Throws std::runtime_error("Failed to write file <path>") when the file
// cannot be opened. The default path is Log.txt in the working folder (the program folder).
void gf_openLog(const std::filesystem::path& path = std::filesystem::path(logFileName));
// Closes the log; later writes are silent.
void gf_closeLog();
bool gf_logIsOpen();

// Writers: the message whole, a line end, flushed; nothing while the log is closed.
void gf_log(std::string_view message);
void gf_logError(std::string_view message);         // "===> " + message
void gf_logContinuation(std::string_view message);  // ten blanks + message
// As gf_log, but silent once a stop is under way (the stop test registered below answers true).
void gf_logLine(std::string_view message);

// Hooks through which the foundation reaches the run flags and the status line without depending on them;
// the start-up registers gf_stopUnderWay and gf_showStatus (lf_connectSubsystems, app/entry.h).
// Whether a stop is under way (stopRequested or userClosed set); none registered: never.
void gf_setStopTest(bool (*stopUnderWay)());
// Shows a text in the status line (see gf_showStatus); none registered: the text is logged when log is set.
void gf_setStatusWriter(void (*writer)(std::string_view text, bool log));
void gf_noteStatus(std::string_view text, bool log);

// Builds (does not write) a banner: optional leading "\n"; n = width + extra rounded up to even; n '*' for an
// empty title, else (n/2 - 1) '*', " title ", (n/2 - 1) '*' when n > title length + 2, else the title alone;
// optional trailing "\n".
std::string gf_bannerLine(int width, int extra, bool leadingLineEnd, bool trailingLineEnd, std::string_view title);
