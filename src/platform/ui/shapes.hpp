#pragma once
// Shapes fill the frame they are offered (10 × 10 when a dimension is unspecified), painted
// with the foreground style (set with foregroundStyle() or its alias fill()).

#include "platform/ui/view.hpp"

namespace halyard::ui {

// The side a shape takes in a direction whose proposal is unspecified.
inline constexpr double defaultShapeLength = 10;

enum class RoundedCornerStyle { circular, continuous };

// A rectangle with fully rounded ends along its shorter side.
View Capsule(RoundedCornerStyle style = RoundedCornerStyle::continuous);
// The largest circle centred in the frame.
View Circle();
View Rectangle();

}  // namespace halyard::ui
