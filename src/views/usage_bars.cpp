#include "views/usage_bars.hpp"

#include <algorithm>
#include <cmath>

namespace halyard {

std::int64_t referenceValue(std::span<const std::int64_t> counts) {
  if (counts.empty()) return 1;
  return *std::max_element(counts.begin(), counts.end());
}

double barWidth(std::int64_t bytes, std::int64_t reference, double available) {
  // `!(available > 0)` also refuses NaN; an unbounded area has no width to share.
  if (reference <= 0 || !(available > 0) || !std::isfinite(available)) return 0;
  const double width = available * (static_cast<double>(bytes) / static_cast<double>(reference));
  // Negative counts give negative products: the minimum still applies, as it does to 0.
  return std::max(kMinimumBarWidth, width);
}

}  // namespace halyard
