#pragma once
// The sizes in which the host draws widgets.

#include <optional>
#include <string_view>

#include "platform/ui/widget_family.hpp"

namespace halyard::host {

using ui::WidgetFamily;

// A widget's size in points.
struct DisplaySize {
  double width = 0;
  double height = 0;
  bool operator==(const DisplaySize&) const = default;
};

// "systemMedium", "systemLarge", ...
std::string_view familyName(WidgetFamily family);

// The short name used on the command line: "small", "medium", "large", "extraLarge", ...
std::string_view familyShortName(WidgetFamily family);

// The family for a short or full name ("medium" or "systemMedium"); nothing for any other.
std::optional<WidgetFamily> familyFromName(std::string_view name);

// The size the host draws a family at: medium 364 × 170, large 364 × 382, small 170 × 170.
DisplaySize familySize(WidgetFamily family);

}  // namespace halyard::host
