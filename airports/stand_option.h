#pragma once
// The half-hour range test of a stand's plan option (the record itself is StandOption, airports/stands.h).
#include <cstdint>

#include "airports/stands.h"

// Walks the option's mask from the half-hour `start` down to start - offset (not below 0) and is
// true at the first set half-hour. Without one, `remainder` is the number of half-hours still to
// test on the previous weekday (min(offset - start, 46)) when start - offset is negative, else -1.
// A start outside 0..47 is logged and gives false.
bool testRange(const StandOption& option, int32_t start, int32_t offset, int32_t& remainder);
