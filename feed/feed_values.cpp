#include "feed/feed_values.h"

#include "app/window_proc.h"

namespace feedvalues {

double lateralRangeNm()
{
    return rangeNm.load();
}

} // namespace feedvalues
