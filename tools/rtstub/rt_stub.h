#pragma once
// Local stand-in of the live-traffic web service. It answers the requests of the program's feed
// on 127.0.0.1 from a scenario of timed aircraft tracks, played in real time, and lets tests
// script any status, malformed body, delay or dropped connection. Contract: README.md.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace rtstub {

// One scripted answer for one endpoint; it replaces the normal answer `times` times (-1 = until
// cleared).
struct ScriptedReply {
    std::optional<int> status;        // "status" of the JSON reply (the normal body otherwise)
    std::optional<std::string> body;  // raw body sent instead of the JSON reply (may be malformed)
    int delayMs = 0;                  // wait before answering
    bool dropConnection = false;      // send the headers, then close without the body
    int times = 1;
};

// One request as the stand-in received it.
struct ReceivedRequest {
    std::string endpoint;
    std::map<std::string, std::string> form;
    std::string acceptEncoding;
};

class Server {
public:
    Server();
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Loads a scenario (README.md); throws std::runtime_error for a malformed one.
    void loadScenario(const nlohmann::json& scenario);
    void loadScenarioFile(const std::string& path);

    // Starts listening on 127.0.0.1 (port 0 = a free port) and returns the port.
    int start(int port = 0);
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:<port>" (the program appends "/v4/").
    std::string baseUrl() const;

    // Scripting for tests.
    void script(const std::string& endpoint, ScriptedReply reply);
    void clearScripts();
    // Forgets the requests received so far (a long fuzzing run sends millions).
    void clearRequests();
    std::vector<ReceivedRequest> requests() const;
    std::size_t requestCount(const std::string& endpoint) const;

    // Scenario time: seconds since start of play. Tests may pin the play clock.
    void setPlayTime(double seconds);
    double playTime() const;
    // Unix time the stand-in stamps its data with; pinned with setUnixTime for tests.
    void setUnixTime(double unixSeconds);
    double unixTime() const;

    // The reply body for an endpoint, without the HTTP part (used by the server and the bench).
    nlohmann::json answer(const std::string& endpoint, const std::map<std::string, std::string>& form);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

// A scenario of `count` aircraft on straight tracks around a centre, for benches and demos.
nlohmann::json syntheticScenario(int count, double latitude, double longitude);

}  // namespace rtstub
