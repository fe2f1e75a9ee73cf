#pragma once
// The one sandbox of the test programs: temporary folders, environment overrides, the working folder,
// the captured log and the settings put back to their defaults. Sandbox combines them for a test; the
// parts serve tests that need only one.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/disk_file.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed again at the end.
class TempFolder {
public:
    TempFolder() {
        std::random_device device;
        path_ =
            fs::temp_directory_path() / ("vexa_test_" + std::to_string(::getpid()) + "_" + std::to_string(device()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (previous_)
            ::setenv(name_.c_str(), previous_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Makes a folder the working (program) folder for the life of the object.
class InWorkingFolder {
public:
    explicit InWorkingFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~InWorkingFolder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
    }
    InWorkingFolder(const InWorkingFolder&) = delete;
    InWorkingFolder& operator=(const InWorkingFolder&) = delete;

private:
    fs::path previous_;
};

// Makes every file written through DiskFile fail at one step for the life of the object.
class ScopedDiskFileFault {
public:
    explicit ScopedDiskFileFault(DiskFileFault fault) { gf_setDiskFileFault(fault); }
    ~ScopedDiskFileFault() { gf_setDiskFileFault(DiskFileFault::none); }
    ScopedDiskFileFault(const ScopedDiskFileFault&) = delete;
    ScopedDiskFileFault& operator=(const ScopedDiskFileFault&) = delete;
};

inline std::string readWholeFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline void writeWholeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

// The lines of a log text that hold every one of the parts.
inline std::vector<std::string> logLinesWith(const std::string& log, std::initializer_list<std::string_view> parts) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        const std::string_view line(log.data() + start, end - start);
        if (std::all_of(parts.begin(), parts.end(),
                        [&](std::string_view part) { return line.find(part) != std::string_view::npos; }))
            lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

// Opens the log in its own temporary folder for a test and closes it at the end; text() is what was logged
// after the header line.
class CapturedLog {
public:
    CapturedLog() {
        stopRequested = 0;
        userClosed = 0;
        gf_openLog(folder_ / "Log.txt");
    }
    ~CapturedLog() { gf_closeLog(); }
    std::string text() const {
        const std::string all = readWholeFile(folder_ / "Log.txt");
        const auto end = all.find('\n');
        return end == std::string::npos ? std::string() : all.substr(end + 1);
    }

private:
    TempFolder folder_;
};

// The log's stop test and its status notes answered by the run flags and the status line, as the start-up
// registers them (lf_connectSubsystems), for the life of the object; none registered again at its end.
class ShellHooksRegistered {
public:
    ShellHooksRegistered() {
        gf_setStopTest(&gf_stopUnderWay);
        gf_setStatusWriter(&gf_showStatus);
    }
    ~ShellHooksRegistered() {
        gf_setStopTest(nullptr);
        gf_setStatusWriter(nullptr);
    }
    ShellHooksRegistered(const ShellHooksRegistered&) = delete;
    ShellHooksRegistered& operator=(const ShellHooksRegistered&) = delete;
};

// A test's own world: a fresh temporary root, removed at the end, with
//   program/    the working folder, where the log is opened (Log.txt) unless told otherwise,
//   appdata/    what VEXA_APPDATA points at,
//   local/      what VEXA_LOCALAPPDATA points at,
// further environment variables set for the test, and the settings at their defaults at the start and
// the end. Everything it changed is put back when it ends.
class Sandbox {
public:
    struct Options {
        bool openLog = true;        // open program/Log.txt now (false: the test calls openLog())
        bool resetSettings = true;  // gf_resetSettings at the start and the end
    };

    Sandbox() : Sandbox(Options{}) {}
    explicit Sandbox(Options options) : options_(options) {
        for (const char* sub : {"program", "appdata", "local"}) fs::create_directories(root_ / sub);
        cwd_.emplace(program());
        setEnv("VEXA_APPDATA", appData().string());
        setEnv("VEXA_LOCALAPPDATA", localAppData().string());
        if (options_.resetSettings) gf_resetSettings();
        if (options_.openLog) openLog();
    }
    ~Sandbox() {
        gf_closeLog();
        if (options_.resetSettings) gf_resetSettings();
        while (!env_.empty()) env_.pop_back();
        cwd_.reset();
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const fs::path& root() const { return root_.path(); }
    fs::path program() const { return root_ / "program"; }
    fs::path appData() const { return root_ / "appdata"; }
    fs::path localAppData() const { return root_ / "local"; }
    fs::path logPath() const { return program() / "Log.txt"; }

    // Sets (or with nullopt clears) an environment variable until the sandbox ends.
    void setEnv(const char* name, std::optional<std::string> value) { env_.emplace_back(name, std::move(value)); }

    void openLog() { gf_openLog(logPath()); }
    void closeLog() { gf_closeLog(); }
    // Everything in the log file so far, header line included.
    std::string logText() const { return readWholeFile(logPath()); }

private:
    Options options_;
    TempFolder root_;
    std::optional<InWorkingFolder> cwd_;
    std::list<ScopedEnv> env_;
};
