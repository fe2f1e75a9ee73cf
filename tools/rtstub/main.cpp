// Stand-in of the live-traffic web service: serves the scenario given on the command line on
// 127.0.0.1 until it is interrupted. Usage: rtstub [--port N] [--scenario FILE]
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tools/rtstub/rt_stub.h"

namespace {
std::atomic<bool> interrupted{false};
void onSignal(int) { interrupted = true; }
}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string scenario;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            port = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc)
            scenario = argv[++i];
        else {
            std::fprintf(stderr, "usage: rtstub [--port N] [--scenario FILE]\n");
            return 2;
        }
    }
    try {
        rtstub::Server server;
        if (!scenario.empty()) server.loadScenarioFile(scenario);
        int bound = server.start(port);
        std::printf("rtstub listening on http://127.0.0.1:%d (VEXA_API_URL)\n", bound);
        std::fflush(stdout);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        while (!interrupted) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rtstub: %s\n", e.what());
        return 1;
    }
    return 0;
}
