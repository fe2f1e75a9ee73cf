#include "platform/os/os.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace win32 {

Utf8ConversionException::Utf8ConversionException(const std::string& message, std::uint32_t errorCode,
                                                 std::uint32_t kind)
    : std::runtime_error(message), errorCode_(errorCode), kind_(kind) {}

namespace {

constexpr std::uint32_t kindFromUtf8 = 0;
constexpr std::uint32_t kindToUtf8 = 1;

[[noreturn]] void invalidUtf8() {
    throw Utf8ConversionException("Invalid UTF-8 sequence found in input string.", errorNoUnicodeTranslation,
                                  kindFromUtf8);
}

[[noreturn]] void invalidUtf16() {
    throw Utf8ConversionException("Invalid UTF-16 sequence found in input string.", errorNoUnicodeTranslation,
                                  kindToUtf8);
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    if (utf8.empty()) return {};
    if (utf8.size() > static_cast<std::size_t>(INT_MAX))
        throw std::overflow_error("Input string too long: size_t-length doesn't fit into int.");
    std::u16string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        const unsigned char c = *p;
        char32_t cp = 0;
        int more = 0;
        char32_t minimum = 0;
        if (c < 0x80) {
            out.push_back(c);
            ++p;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            more = 1;
            minimum = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            more = 2;
            minimum = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            more = 3;
            minimum = 0x10000;
        } else {
            invalidUtf8();  // stray continuation byte, overlong lead byte or beyond U+10FFFF
        }
        if (end - p <= more) invalidUtf8();
        for (int i = 1; i <= more; ++i) {
            const unsigned char next = p[i];
            if ((next & 0xC0) != 0x80) invalidUtf8();
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) invalidUtf8();
        p += more + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    if (utf16.empty()) return {};
    if (utf16.size() > static_cast<std::size_t>(INT_MAX))
        throw std::overflow_error("Input string too long: size_t-length doesn't fit into int.");
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= utf16.size()) invalidUtf16();
            const char32_t low = utf16[i + 1];
            if (low < 0xDC00 || low > 0xDFFF) invalidUtf16();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            invalidUtf16();
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::optional<fs::path> GetFolderPathUtf8(int csidl) {
    if (csidl == csidlAppData) return os::appDataFolder();
    if (csidl == csidlLocalAppData) return os::localAppDataFolder();
    return std::nullopt;
}

}  // namespace win32

namespace os {

namespace {

std::optional<fs::path> fromEnvironment(const char* override, const char* xdg, const char* homeRelative) {
    if (const char* value = std::getenv(override); value && *value) return fs::path(value);
    if (const char* value = std::getenv(xdg); value && *value) return fs::path(value);
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / homeRelative;
    return std::nullopt;
}

}  // namespace

std::optional<fs::path> appDataFolder() { return fromEnvironment("VEXA_APPDATA", "XDG_CONFIG_HOME", ".config"); }

std::optional<fs::path> localAppDataFolder() {
    return fromEnvironment("VEXA_LOCALAPPDATA", "XDG_DATA_HOME", ".local/share");
}

bool copyFile(const fs::path& from, const fs::path& to, bool overwrite) {
    std::error_code error;
    const auto options = overwrite ? fs::copy_options::overwrite_existing : fs::copy_options::none;
    return fs::copy_file(from, to, options, error) && !error;
}

int openFileForWriting(const fs::path& path) {
    int descriptor = -1;
    do {
        descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

bool writeToFile(int descriptor, const void* bytes, std::size_t size) {
    const auto* next = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, next, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool syncFileToDisk(int descriptor) {
    int result = 0;
    do {
        result = ::fsync(descriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool closeFile(int descriptor) {
    // Not retried on EINTR: the descriptor is released whatever close answers.
    return ::close(descriptor) == 0;
}

void timeBeginPeriod(std::uint32_t) {}

void timeEndPeriod(std::uint32_t) {}

fs::path lockFilePath(std::string_view name) {
    std::string file;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_' || c == '.') file += c;
    }
    if (file.empty()) file = "instance";
    file += ".lock";
    fs::path folder;
    if (auto local = localAppDataFolder())
        folder = *local;
    else
        folder = fs::temp_directory_path();
    return folder / file;
}

InstanceLock::InstanceLock(std::string_view name) {
    const fs::path path = lockFilePath(name);
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
}

bool acquireSingleInstance(std::string_view name) {
    static std::mutex mutex;
    static bool held = false;
    std::lock_guard lock(mutex);
    if (held) return true;
    InstanceLock instance(name);
    if (!instance.held()) return false;
    instance.keepForProcessLife();  // the descriptor stays open until the process ends
    held = true;
    return true;
}

}  // namespace os
