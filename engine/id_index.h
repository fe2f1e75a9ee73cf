#pragma once
// A hash index from a 32-bit id (never 0) to a position in a list. Open addressing with linear
// probing in one block that is only ever grown: a look-up, an entry set or erased within the
// room already there allocates nothing, which keeps the engine tick free of heap traffic.
#include <cstddef>
#include <cstdint>
#include <vector>

class IdIndex {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    size_t size() const { return count_; }

    // Room for n entries without growing.
    void reserve(size_t n) {
        size_t want = 16;
        while (want < 2 * n) want *= 2;
        if (want > slots_.size()) rehash(want);
    }

    void clear() {
        for (auto& s : slots_) s = Slot{};
        count_ = 0;
    }

    // The position of the id, or kNone.
    uint32_t find(uint32_t id) const {
        if (id == 0 || slots_.empty()) return kNone;
        for (size_t i = home(id);; i = next(i)) {
            if (slots_[i].id == id) return slots_[i].pos;
            if (slots_[i].id == 0) return kNone;
        }
    }

    // Enters the id at a position, or moves it there.
    void set(uint32_t id, uint32_t pos) {
        if (id == 0) return;
        if (2 * (count_ + 1) > slots_.size()) rehash(slots_.empty() ? 16 : 2 * slots_.size());
        size_t i = home(id);
        while (slots_[i].id != 0 && slots_[i].id != id) i = next(i);
        if (slots_[i].id == 0) ++count_;
        slots_[i] = Slot{id, pos};
    }

    // Takes the id out (an id that is not there is no error).
    void erase(uint32_t id) {
        if (id == 0 || slots_.empty()) return;
        size_t i = home(id);
        while (slots_[i].id != id) {
            if (slots_[i].id == 0) return;
            i = next(i);
        }
        // Backward shift: later entries of the probe run move up, so no tombstones are left.
        for (size_t j = next(i);; j = next(j)) {
            if (slots_[j].id == 0) break;
            const size_t h = home(slots_[j].id);
            // Entry j may fill the gap at i when its home does not lie cyclically in (i, j].
            const bool homeBetween = i <= j ? (i < h && h <= j) : (i < h || h <= j);
            if (homeBetween) continue;
            slots_[i] = slots_[j];
            i = j;
        }
        slots_[i] = Slot{};
        --count_;
    }

    // Calls f(id, pos) for every entry.
    template <class F>
    void forEach(F&& f) const {
        for (const auto& s : slots_)
            if (s.id != 0) f(s.id, s.pos);
    }

private:
    struct Slot {
        uint32_t id = 0;
        uint32_t pos = 0;
    };

    size_t home(uint32_t id) const {
        // Fibonacci hashing spreads the ids of a block of addresses over the whole table.
        return static_cast<size_t>((static_cast<uint64_t>(id) * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
    }
    size_t next(size_t i) const { return (i + 1) & (slots_.size() - 1); }

    void rehash(size_t size) {
        std::vector<Slot> old(size);
        old.swap(slots_);
        count_ = 0;
        for (const auto& s : old)
            if (s.id != 0) set(s.id, s.pos);
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
};
