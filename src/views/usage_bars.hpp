#pragma once
// The geometry shared by provider and repository bars.

#include <cstdint>
#include <span>

namespace halyard {

// The narrowest coloured bar while anything is drawn at all.
inline constexpr double kMinimumBarWidth = 4;

// The largest of `counts`, or 1 when there are none: what a full bar stands for.
std::int64_t referenceValue(std::span<const std::int64_t> counts);

// The width of the coloured bar for `bytes` in a bar area `available` points wide: nothing
// when the reference or the area is not positive, otherwise available × bytes ÷ reference
// (in double precision, unrounded), at least kMinimumBarWidth.
double barWidth(std::int64_t bytes, std::int64_t reference, double available);

}  // namespace halyard
