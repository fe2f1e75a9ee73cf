#pragma once
// Temporary folders and environment overrides shared by the test programs.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed again at the end.
class TempFolder {
public:
    TempFolder()
    {
        std::random_device device;
        path_ = fs::temp_directory_path() / ("vexa_test_" + std::to_string(::getpid()) + "_" + std::to_string(device()));
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
