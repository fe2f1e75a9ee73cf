// The engine inbox: notices posted by the simulator link and the feed, drained by the run thread.
#include "engine/notices.h"

#include <mutex>

namespace {
std::mutex inboxMutex;
std::vector<SimNotice> engineInbox;
} // namespace

void gf_postEngineNotice(const SimNotice& notice) {
    std::lock_guard lock(inboxMutex);
    engineInbox.push_back(notice);
}

std::vector<SimNotice> gf_pendingEngineNotices() {
    std::lock_guard lock(inboxMutex);
    return engineInbox;
}

void gf_drainEngineInbox() {
    std::lock_guard lock(inboxMutex);
    engineInbox.clear();
}
