#include "foundation/feed_time.h"

std::atomic<double> lastFeedTimestamp{0.0};
std::atomic<std::int32_t> feedOffsetMinutes{0};
std::atomic<bool> professionalAccount{false};
