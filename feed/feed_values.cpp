#include "feed/feed_values.h"

#include "shell/range.h"

namespace feedvalues {

double lateralRangeNm() { return rangeNm.load(); }

}  // namespace feedvalues
