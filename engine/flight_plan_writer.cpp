// The flight-plan writer: one thread of the engine that writes, assigns and deletes plan files in
// the order the run thread asked for them, so that no file is touched inside an engine tick.
// The run thread only appends jobs under the queue mutex; everything a job needs (path, plan
// fields, label) is copied into it, so the writer never reads the engine's lists.
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "foundation/log.h"

namespace {

struct PlanJob {
    std::filesystem::path path;
    SimAircraft plan;        // category, origin and destination; empty for a deletion
    std::string label;       // the aircraft's label for the failure line
    std::string assignPath;  // the path handed to the simulator; empty: not assigned
    uint32_t objectId = 0;
    bool remove = false;
};

std::mutex queueMutex;
std::deque<PlanJob> jobs;  // guarded by queueMutex
bool jobRunning = false;   // guarded by queueMutex: a job is taken but not finished
std::thread writer;        // started and joined by the run thread only
std::atomic<bool> stopWriter{false};

void runJob(const PlanJob& job) {
    if (job.remove) {
        std::error_code ec;
        std::filesystem::remove(job.path, ec);
        if (ec) gf_logError(fmt::format("flight plan {} not deleted: {}", job.objectId, ec.message()));
        return;
    }
    bool ok = gf_writeFlightPlan(job.path, job.plan);
    if (ok && !job.assignPath.empty()) ok = lf_assignFlightPlan(job.objectId, job.assignPath);
    if (!ok) gf_log(fmt::format("{} creating a flight plan failed", job.label));
}

// Takes the jobs one by one; when the queue is empty it polls, and it ends when asked to stop
// and nothing is left.
void writerLoop() {
    for (;;) {
        PlanJob job;
        bool taken = false;
        {
            std::lock_guard lock(queueMutex);
            if (jobs.empty()) {
                if (stopWriter.load()) return;
            } else {
                job = std::move(jobs.front());
                jobs.pop_front();
                jobRunning = taken = true;
            }
        }
        if (!taken) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        try {
            runJob(job);
        } catch (const std::exception& e) {
            gf_log(fmt::format("{}: {}", "flight plan writer", e.what()));
        }
        std::lock_guard lock(queueMutex);
        jobRunning = false;
    }
}

void queueJob(PlanJob&& job) {
    {
        std::lock_guard lock(queueMutex);
        jobs.push_back(std::move(job));
    }
    if (!writer.joinable()) {
        stopWriter.store(false);
        writer = std::thread(writerLoop);
    }
}

}  // namespace

void gf_queueFlightPlan(const SimAircraft& ac, uint32_t objectId, bool assign) {
    PlanJob job;
    job.path = gf_flightPlanPath(objectId);
    job.plan.category = ac.category;
    job.plan.identity.origin = ac.identity.origin;
    job.plan.identity.destination = ac.identity.destination;
    job.label = acLabel(ac);
    // The simulator takes the plan's path without its extension.
    if (assign) job.assignPath = std::filesystem::path(job.path).replace_extension().string();
    job.objectId = objectId;
    queueJob(std::move(job));
}

void gf_deleteFlightPlan(uint32_t objectId) {
    PlanJob job;
    job.path = gf_flightPlanPath(objectId);
    job.objectId = objectId;
    job.remove = true;
    queueJob(std::move(job));
}

void gf_waitFlightPlanWriter() {
    for (;;) {
        {
            std::lock_guard lock(queueMutex);
            if (jobs.empty() && !jobRunning) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void gf_stopFlightPlanWriter() {
    if (!writer.joinable()) return;
    stopWriter.store(true);
    writer.join();
}
