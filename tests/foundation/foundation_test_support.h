#pragma once
// Temporary folders and log capture for the foundation tests.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/run_flags.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed again at the end.
class TempFolder {
public:
    TempFolder()
    {
        std::random_device device;
        path_ = fs::temp_directory_path() / ("vexa_found_" + std::to_string(::getpid()) + "_" + std::to_string(device()));
        fs::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Makes a temporary folder the working (program) folder for the life of the object.
class InTempWorkingFolder {
public:
    InTempWorkingFolder() : previous_(fs::current_path()) { fs::current_path(folder_.path()); }
    ~InTempWorkingFolder() { fs::current_path(previous_); }
    const fs::path& path() const { return folder_.path(); }

private:
    TempFolder folder_;
    fs::path previous_;
};

inline std::string readWholeFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline void writeWholeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

// Opens the log in its own temporary folder for a test and closes it at the end; text() is what was logged
// after the header line.
class CapturedLog {
public:
    CapturedLog()
    {
        stopRequested = 0;
        userClosed = 0;
        gf_openLog(folder_ / "Log.txt");
    }
    ~CapturedLog() { gf_closeLog(); }
    std::string text() const
    {
        const std::string all = readWholeFile(folder_ / "Log.txt");
        const auto end = all.find('\n');
        return end == std::string::npos ? std::string() : all.substr(end + 1);
    }

private:
    TempFolder folder_;
};

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            previous_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (previous_)
            ::setenv(name_.c_str(), previous_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> previous_;
};
