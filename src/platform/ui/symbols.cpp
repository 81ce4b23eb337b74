// The symbol table: each symbol's box and baseline in ems (multiples of the point size).
#include "platform/ui/symbols.hpp"

#include <array>
#include <cmath>

namespace halyard::ui {
namespace {

struct SymbolShape {
  std::string_view name;
  double width;     // em
  double height;    // em
  double baseline;  // em from the top; the part below it hangs under the text's baseline
};

// Wide symbols (the drive, the arrows) are wider than tall; round ones are square. Every
// symbol descends about 0.08 em below the baseline, as symbol glyphs do.
constexpr std::array kSymbols{
    SymbolShape{"externaldrive.fill", 1.30, 0.90, 0.84},
    SymbolShape{"checkmark.circle.fill", 1.00, 1.00, 0.92},
    SymbolShape{"arrow.triangle.2.circlepath", 1.20, 0.96, 0.88},
    SymbolShape{"exclamationmark.triangle.fill", 1.10, 1.00, 0.92},
    SymbolShape{"clock.arrow.circlepath", 1.12, 1.00, 0.92},
    SymbolShape{"clock.badge.questionmark", 1.12, 1.00, 0.92},
};

constexpr SymbolShape kDefault{"", 1.00, 1.00, 0.92};

}  // namespace

SymbolMetrics symbolMetrics(std::string_view name, double pointSize) {
  if (!std::isfinite(pointSize) || pointSize < 0) pointSize = 0;
  const SymbolShape* shape = &kDefault;
  for (const SymbolShape& candidate : kSymbols) {
    if (candidate.name == name) shape = &candidate;
  }
  return {{shape->width * pointSize, shape->height * pointSize},
          shape->baseline * pointSize,
          shape != &kDefault};
}

}  // namespace halyard::ui
