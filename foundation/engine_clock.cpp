#include "foundation/engine_clock.h"

std::atomic<uint32_t> engineTick{0};
