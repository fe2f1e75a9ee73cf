#include "airports/stand_option.h"

#include <algorithm>
#include <bitset>
#include <stdexcept>

#include <fmt/format.h>

#include "foundation/log.h"

bool testRange(const StandOption& option, int32_t start, int32_t offset, int32_t& remainder) {
    remainder = -1;
    try {
        const std::bitset<48> mask(option.halfHours);
        const int32_t end = std::max(start - offset, 0);
        if (start < 0)
            throw std::out_of_range("bitset::test: __position (which is " + std::to_string(start) +
                                    ") >= _Nb (which is 48)");
        for (int32_t h = start; h >= end; --h)
            if (mask.test(static_cast<size_t>(h))) return true;
        if (start - offset < 0) remainder = std::min(offset - start, 46);
        return false;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}exception {} in testRange, start: {}, offset: {}", "", e.what(), start, offset));
        return false;
    }
}
