#pragma once
// Spacer and Divider: the two views whose shape depends on the stack that holds them.

#include <optional>

#include "platform/ui/view.hpp"

namespace halyard::ui {

// Takes the free length along its stack's axis, at least `minLength` (absent or NaN: the
// default spacing, 8; negative: 0). Across the axis it takes no room. Outside any stack it
// takes the whole proposal in both directions.
View Spacer(std::optional<double> minLength = std::nullopt);

// The thickness of a divider's line, in points.
inline constexpr double dividerThickness = 1;

// A thin line across its stack: horizontal, as wide as offered, in a VStack (and outside any
// stack); vertical, as tall as offered, in an HStack. Filled with the tertiary foreground.
View Divider();

}  // namespace halyard::ui
