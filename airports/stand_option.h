#pragma once
// A plan option of a stand: which aircraft (or operator and type) used the stand on which
// weekday during which half-hours. Held by value in the stand's option list.
#include <cstdint>
#include <string>

struct StandOption {
    std::string airline;       // operator code
    std::string icaoType;
    std::string registration;  // the aircraft's key: its registration, or its callsign when it has none
    std::string callsign;      // first coupled callsign (the callsign it was recorded under)
    std::string callsign2;     // second callsign part; empty for options made while running
    uint64_t halfHours = 0;    // bit n (0..47): used in half-hour n of the weekday; bits 48..63 stay 0
    int32_t id = 0;            // unique within the stand's list; 0 = switched off / none
    int32_t weekday = 0;       // 1 Monday .. 7 Sunday
    int32_t origin = 0;        // 1 for options read with an airport file (never extended while running); 0 otherwise
    int32_t real = 0;          // 1 real, 0 soft

    bool operator==(const StandOption&) const = default;
};

inline constexpr uint64_t kHalfHourMask = (uint64_t{1} << 48) - 1;

// Walks the option's mask from the half-hour `start` down to start - offset (not below 0) and is
// true at the first set half-hour. Without one, `remainder` is the number of half-hours still to
// test on the previous weekday (min(offset - start, 46)) when start - offset is negative, else -1.
// A start outside 0..47 is logged and gives false.
bool testRange(const StandOption& option, int32_t start, int32_t offset, int32_t& remainder);
