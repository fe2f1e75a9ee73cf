#pragma once
// A virtual X display (Xvfb) for tests of the real window, and the check for the tools they need.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

inline bool onPath(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Starts Xvfb on a free display number and stops it again at the end.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int n = 120 + static_cast<int>(::getpid() % 200);
        while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
               std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            ++n;
        name_ = ":" + std::to_string(n);
        std::vector<std::string> args = {"Xvfb", name_, "-screen", "0", "1000x560x24", "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200 && pid_ > 0; ++i) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + name_.substr(1))) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool running() const { return pid_ > 0; }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};
