#pragma once
// Views built during layout from what layout knows: the offered size, or the environment.

#include <functional>

#include "platform/ui/environment.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/view.hpp"

namespace halyard::ui {

// Takes the whole proposal (10 points in a direction whose proposal is unspecified), hands
// that size to `content` and places the view it returns at its top-leading corner, offering
// it the same size.
View GeometryReader(std::function<View(Size)> content);

// The view `content` makes from the environment in effect where it stands. Takes exactly the
// room of that view. In a stack it counts as one child, even when it makes an empty view or a
// group.
View EnvironmentReader(std::function<View(const Environment&)> content);

}  // namespace halyard::ui
