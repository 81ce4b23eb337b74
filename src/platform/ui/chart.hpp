#pragma once
// Chart with sector marks: a pie or donut.
//
// Sectors start at twelve o'clock and follow each other clockwise in list order; each spans
// the share of 2π that its value has of the sum of the positive values. Marks whose value is
// zero, negative or not finite get no sector. A chart with marks but no positive value places
// its track instead: one "ChartTrack" ring, with the first mark's radii, in the hierarchical
// tertiary style (as the tracks of bars). Angles are in radians, clockwise from twelve
// o'clock.
//
// The angular inset is a length in points measured along the outer edge: each sector gives up
// that much arc at each of its two ends, so neighbours are twice the inset apart at the outer
// radius. A sector narrower than its two insets shrinks to a zero-width sector at its middle.
// A lone sector keeps the full circle: there is no neighbour to keep apart from.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "platform/ui/color.hpp"
#include "platform/ui/view.hpp"

namespace halyard::ui {

struct SectorMark {
  double angle = 0;                     // the plotted value
  double innerRadius = 0;               // ratio of the outer radius, 0 (pie) to 1
  std::optional<double> outerRadius{};  // ratio of the chart's radius; absent: automatic (1)
  double angularInset = 0;              // points at the outer radius, on each end
  StyleName style = StyleName::tint;    // the mark's foregroundStyle
};

// The chart takes its whole proposal (10 points where unspecified). Its radius is half its
// shorter side; the sectors are centred in its frame, one "SectorMark" child per sector.
View Chart(std::vector<SectorMark> marks);

struct SectorSpan {
  std::size_t index = 0;  // position of the mark among the chart's marks
  double startAngle = 0;
  double endAngle = 0;  // endAngle >= startAngle
};

// The sectors for `values`, each narrowed by `insetAngle` radians at both ends (NaN or
// negative: no inset). Only values that get a sector appear, in order.
std::vector<SectorSpan> sectorAngles(std::span<const double> values, double insetAngle = 0);

}  // namespace halyard::ui
