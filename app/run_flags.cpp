#include "app/run_flags.h"

std::atomic<std::uint8_t> stopRequested{0};
std::atomic<std::uint8_t> userClosed{0};
