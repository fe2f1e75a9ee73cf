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

#include "shell/run_flags.h"
#include "tests/common/test_folders.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

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

