#include "shell/engine_inbox.h"

std::mutex inboxMutex;
std::vector<SimNotice> engineInbox;

void gf_postEngineNotice(const SimNotice& notice) {
    std::lock_guard lock(inboxMutex);
    engineInbox.push_back(notice);
}

std::vector<SimNotice> gf_pendingEngineNotices() {
    std::lock_guard lock(inboxMutex);
    return engineInbox;
}
