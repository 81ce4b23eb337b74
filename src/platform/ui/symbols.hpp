#pragma once
// How large a named symbol is at a font size, so that layout can place it before anything is
// drawn. A symbol is set like a glyph of the current font: its box scales with the point size
// and its baseline lines up with the text beside it.

#include <string_view>

#include "platform/ui/geometry.hpp"

namespace halyard::ui {

struct SymbolMetrics {
  Size size;            // the symbol's box, points
  double baseline = 0;  // from the box's top
  bool known = false;   // unknown names get the default box and draw nothing
};

// The symbol's box and baseline at `pointSize` (NaN or negative: 0).
SymbolMetrics symbolMetrics(std::string_view name, double pointSize);

}  // namespace halyard::ui
