#pragma once
// Operating-system services the program needs, in place of the Windows kernel and shell calls.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace win32 {

// A failed UTF-8/UTF-16 conversion. kind 0: from UTF-8 to UTF-16, kind 1: from UTF-16 to UTF-8.
class Utf8ConversionException : public std::runtime_error {
public:
    Utf8ConversionException(const std::string& message, std::uint32_t errorCode, std::uint32_t kind);
    std::uint32_t errorCode() const noexcept { return errorCode_; }
    std::uint32_t kind() const noexcept { return kind_; }

private:
    std::uint32_t errorCode_;
    std::uint32_t kind_;
};

inline constexpr std::uint32_t errorNoUnicodeTranslation = 1113;
inline constexpr std::uint32_t errorInvalidParameter = 87;
inline constexpr int csidlAppData = 26;       // roaming application data
inline constexpr int csidlLocalAppData = 28;  // local application data

// Strict conversions: invalid input throws Utf8ConversionException (error 1113, kind 0 / kind 1); an input
// longer than INT_MAX throws std::overflow_error.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// The folder of a CSIDL (26 roaming, 28 local application data) in UTF-8; empty when unknown.
std::optional<std::filesystem::path> GetFolderPathUtf8(int csidl);

}  // namespace win32

namespace os {

// Roaming application data: $VEXA_APPDATA, else $XDG_CONFIG_HOME, else $HOME/.config.
std::optional<std::filesystem::path> appDataFolder();
// Local application data: $VEXA_LOCALAPPDATA, else $XDG_DATA_HOME, else $HOME/.local/share.
std::optional<std::filesystem::path> localAppDataFolder();

// Copies a file; overwrites only when asked. False on failure.
bool copyFile(const std::filesystem::path& from, const std::filesystem::path& to, bool overwrite);

// A file written through a system descriptor, for writers that must know its bytes are on the disk. Each call
// reports failure as false (-1 for the descriptor); the caller owns the descriptor and closes it once.
// Creates or truncates the file for writing; -1 on failure.
int openFileForWriting(const std::filesystem::path& path);
// Writes every byte (partial and interrupted writes are continued).
bool writeToFile(int descriptor, const void* bytes, std::size_t size);
// Asks the system to put the file's data on the disk before it answers.
bool syncFileToDisk(int descriptor);
// Closes the descriptor; false when the close reports an error (the descriptor is gone either way).
bool closeFile(int descriptor);

// Timer resolution requests: nothing to do on this platform.
void timeBeginPeriod(std::uint32_t milliseconds);
void timeEndPeriod(std::uint32_t milliseconds);

// Single-instance guard: an advisory lock on a lock file named after the guard's name, in the local
// application-data folder (else the temporary folder). The process holds it for its life; the system releases
// it when the process ends. True when this process got it (also when it already holds it).
bool acquireSingleInstance(std::string_view name);

// The same lock held by an object (released when it is destroyed); for tests and short holders.
class InstanceLock {
public:
    explicit InstanceLock(std::string_view name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    bool held() const { return fd_ >= 0; }
    // Lets the process keep the lock after the object is gone.
    void keepForProcessLife() { fd_ = -1; }

private:
    int fd_ = -1;
};

// Path of the lock file for a guard name (characters that cannot stand in a file name are dropped).
std::filesystem::path lockFilePath(std::string_view name);

}  // namespace os
