#pragma once
// Notices from the simulator link and the feed to the engine, and the inbox that carries them.
// Producers (the simulator client thread, the traffic reader) only post; the engine's run thread
// drains the inbox once per engine tick (engine/notices.h). The inbox mutex is the outermost lock.
#include <cstdint>
#include <mutex>
#include <vector>

// What a notice reports; `SimNotice::kind` holds one of these values (larger kinds are ignored).
enum class NoticeKind : uint32_t {
    LiveCreated = 0,    // a created object was recognised, id above 10000
    StaticCreated = 1,  // the same for a static id (at most 10000)
    ObjectRemoved = 2,  // the simulator confirmed the removal of objectId
    GroundInfo =
        3,  // ground data of an AI object: id = on-ground flag, a = ground altitude ft, b = height above ground ft
    StaticCg = 4,      // a = static CG height ft, b = static pitch rad
    Blocked = 5,       // the feed saw the blocked callsign; id = that aircraft's hexid
    CreateFailed = 6,  // the simulator refused a creation; id = hexid or static id
};

// A plain 32-byte message, copied by value.
struct SimNotice {
    uint32_t objectId = 0;  // simulator object id, 0 where the sender has none
    uint32_t id = 0;        // hexid or static id; kind 3: the simulator's on-ground flag
    // The answers to a creation (kinds 0, 1 and 6) carry the request id of the creation they answer, so that
    // the engine gives the object to the aircraft that asked for it; 0 in every other notice.
    uint32_t request = 0;
    uint32_t kind = 0;  // NoticeKind
    double a = 0.0;
    double b = 0.0;
};
static_assert(sizeof(SimNotice) == 32, "a notice carries numbers only and stays 32 bytes");

inline SimNotice makeNotice(uint32_t objectId, uint32_t id, NoticeKind kind, double a = 0.0, double b = 0.0) {
    return SimNotice{objectId, id, 0, static_cast<uint32_t>(kind), a, b};
}

// The answer to the creation `request`: created (kinds 0 and 1, b the height above ground of a live one) or
// refused (kind 6, object id 0).
inline SimNotice makeCreationAnswer(uint32_t objectId, uint32_t id, NoticeKind kind, uint32_t request, double b = 0.0) {
    return SimNotice{objectId, id, request, static_cast<uint32_t>(kind), 0.0, b};
}

// Appends a copy of the notice to the inbox under the inbox mutex. Any thread.
void gf_postEngineNotice(const SimNotice& notice);

// Copy of the notices still waiting (tests and diagnostics); takes the inbox mutex.
std::vector<SimNotice> gf_pendingEngineNotices();

// The inbox itself, guarded by inboxMutex (the engine also keeps its light set-up list under it).
extern std::mutex inboxMutex;
extern std::vector<SimNotice> engineInbox;
