#pragma once
// Named colours and shape styles, resolved against the appearance from one palette.

#include <string_view>

namespace halyard::ui {

enum class Appearance { light, dark };

struct RGBA {
  double r = 0;
  double g = 0;
  double b = 0;
  double a = 1;
  bool operator==(const RGBA&) const = default;
};

// Every style a view can paint with. `primary` is the default foreground; `secondary` the
// named colour (Color.secondary); `hierarchicalSecondary`/`hierarchicalTertiary` the
// foreground at lower emphasis; `tertiaryFill` the container fill; `windowBackground` what
// the widget's container sits on.
enum class StyleName {
  primary,
  blue,
  green,
  yellow,
  orange,
  red,
  secondary,
  hierarchicalSecondary,
  hierarchicalTertiary,
  tint,
  tertiaryFill,
  windowBackground,
};

// The name used in the placed tree's JSON ("blue", "secondary", "tertiary", ...).
std::string_view styleName(StyleName style);

// The palette: the one place where colour values live.
RGBA resolve(StyleName style, Appearance appearance);

}  // namespace halyard::ui
