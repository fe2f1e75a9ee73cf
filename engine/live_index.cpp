// The indexes of the live list: hexid -> position and object id -> position. Every routine that
// adds, removes or moves a live aircraft, or gives one an object id or takes it away, keeps them
// in step here, so that the merge and the notices find an aircraft without walking the list.
#include <fmt/format.h>

#include <vector>

#include "engine/engine_state.h"
#include "engine/id_index.h"

namespace {

IdIndex byHexid;
IdIndex byObjectId;

uint32_t slotOf(const LiveAircraft& ac) {
    const LiveAircraft* first = liveList.data();
    if (&ac < first || &ac >= first + liveList.size()) return IdIndex::kNone;
    return static_cast<uint32_t>(&ac - first);
}

void enter(uint32_t slot) {
    const LiveAircraft& ac = liveList[slot];
    byHexid.set(ac.id, slot);
    if (ac.objectId != 0) byObjectId.set(ac.objectId, slot);
}

void leave(const LiveAircraft& ac) {
    byHexid.erase(ac.id);
    if (ac.objectId != 0) byObjectId.erase(ac.objectId);
}

}  // namespace

LiveAircraft* gf_liveByHexid(uint32_t hexid) {
    const uint32_t slot = byHexid.find(hexid);
    return slot < liveList.size() ? &liveList[slot] : nullptr;
}

LiveAircraft* gf_liveByObjectId(uint32_t objectId) {
    const uint32_t slot = byObjectId.find(objectId);
    return slot < liveList.size() ? &liveList[slot] : nullptr;
}

LiveAircraft& lf_appendLive(LiveAircraft&& ac) {
    liveList.push_back(std::move(ac));
    enter(static_cast<uint32_t>(liveList.size() - 1));
    return liveList.back();
}

void lf_setLiveObjectId(LiveAircraft& ac, uint32_t objectId) {
    if (ac.objectId == objectId) return;
    const uint32_t slot = slotOf(ac);
    if (slot != IdIndex::kNone && ac.objectId != 0) byObjectId.erase(ac.objectId);
    ac.objectId = objectId;
    if (slot != IdIndex::kNone && objectId != 0) byObjectId.set(objectId, slot);
}

void lf_eraseLive(size_t index) {
    leave(liveList[index]);
    if (index + 1 != liveList.size()) {
        liveList[index] = std::move(liveList.back());
        enter(static_cast<uint32_t>(index));
    }
    liveList.pop_back();
}

size_t lf_eraseLiveIf(const std::function<bool(const LiveAircraft&)>& leaves) {
    const size_t n = std::erase_if(liveList, leaves);
    // Every aircraft behind the first one that left has moved forward: the indexes are built anew.
    if (n > 0) lf_reindexLive();
    return n;
}

void lf_reindexLive() {
    byHexid.clear();
    byObjectId.clear();
    byHexid.reserve(liveList.capacity());
    byObjectId.reserve(liveList.capacity());
    for (uint32_t slot = 0; slot < liveList.size(); ++slot) enter(slot);
}

void lf_clearLive() {
    liveList.clear();
    byHexid.clear();
    byObjectId.clear();
}

std::string gf_liveIndexMismatch() {
    for (uint32_t slot = 0; slot < liveList.size(); ++slot) {
        const LiveAircraft& ac = liveList[slot];
        if (byHexid.find(ac.id) != slot)
            return fmt::format("hexid {} at {} is indexed at {}", ac.id, slot,
                               static_cast<int64_t>(byHexid.find(ac.id)));
        if (ac.objectId != 0 && byObjectId.find(ac.objectId) != slot)
            return fmt::format("object {} at {} is indexed at {}", ac.objectId, slot,
                               static_cast<int64_t>(byObjectId.find(ac.objectId)));
    }
    size_t objects = 0;
    for (const auto& ac : liveList) objects += ac.objectId != 0 ? 1 : 0;
    // Every entry was found above; more entries than aircraft means one outlived its aircraft.
    if (byHexid.size() != liveList.size())
        return fmt::format("{} hexids indexed for {} aircraft", byHexid.size(), liveList.size());
    if (byObjectId.size() != objects)
        return fmt::format("{} object ids indexed for {} objects", byObjectId.size(), objects);
    return {};
}
