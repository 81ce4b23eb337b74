// Charts of sector marks and their angles.
#include "platform/ui/chart.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <utility>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/shapes.hpp"

namespace halyard::ui {
namespace {

constexpr double kFullTurn = 2 * std::numbers::pi;

bool plotted(double value) {
  return std::isfinite(value) && value > 0;
}

double cleanRatio(double ratio, double fallback) {
  if (std::isnan(ratio)) return fallback;
  return std::clamp(ratio, 0.0, 1.0);
}

// Narrows [start, end] by `inset` at both ends, never past its middle.
SectorSpan narrowed(SectorSpan span, double inset) {
  if (!(inset > 0)) return span;
  const double middle = (span.startAngle + span.endAngle) / 2;
  span.startAngle = std::min(span.startAngle + inset, middle);
  span.endAngle = std::max(span.endAngle - inset, middle);
  return span;
}

}  // namespace

std::vector<SectorSpan> sectorAngles(std::span<const double> values, double insetAngle) {
  // Shares are taken of the values divided by the largest, so that a sum of huge values
  // cannot overflow to infinity.
  double largest = 0;
  for (double value : values) {
    if (plotted(value)) largest = std::max(largest, value);
  }
  std::vector<SectorSpan> spans;
  if (largest <= 0) return spans;
  double total = 0;
  for (double value : values) {
    if (plotted(value)) total += value / largest;
  }
  double start = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!plotted(values[i])) continue;
    const double end = std::min(kFullTurn, start + kFullTurn * (values[i] / largest) / total);
    spans.push_back({i, start, end});
    start = end;
  }
  if (spans.size() > 1) {
    for (SectorSpan& span : spans)
      span = narrowed(span, insetAngle);
  }
  return spans;
}

namespace detail {
namespace {

class ChartNode final : public Node {
 public:
  explicit ChartNode(std::vector<SectorMark> marks) : marks_(std::move(marks)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext&) const override {
    return {proposal.width.value_or(defaultShapeLength),
            proposal.height.value_or(defaultShapeLength)};
  }

  PlacedNode place(const Rect& frame, const ProposedSize&,
                   const LayoutContext& context) const override {
    PlacedNode node = placedNode("Chart", frame);
    std::vector<double> values;
    values.reserve(marks_.size());
    for (const SectorMark& mark : marks_)
      values.push_back(mark.angle);

    const Point center{frame.x + frame.width / 2, frame.y + frame.height / 2};
    const double radius = std::min(frame.width, frame.height) / 2;
    const auto spans = sectorAngles(values);
    if (spans.empty() && !marks_.empty()) {
      // Nothing to plot: the ring's track, so that the chart still shows where it stands.
      node.children.push_back(track(marks_.front(), center, radius, context));
    }
    for (const SectorSpan& raw : spans) {
      const SectorMark& mark = marks_[raw.index];
      const double outer = radius * cleanRatio(mark.outerRadius.value_or(1), 1);
      const double inset =
          spans.size() > 1 && outer > 0 && std::isfinite(mark.angularInset) && mark.angularInset > 0
              ? mark.angularInset / outer
              : 0;
      const SectorSpan span = narrowed(raw, inset);
      PlacedNode sector =
          placedNode("SectorMark", {center.x - outer, center.y - outer, 2 * outer, 2 * outer});
      sector.sector = PlacedSector{mark.angle,
                                   span.startAngle,
                                   span.endAngle,
                                   center,
                                   outer * cleanRatio(mark.innerRadius, 0),
                                   outer,
                                   fillFor(mark.style, context)};
      node.children.push_back(std::move(sector));
    }
    return node;
  }

 private:
  static PlacedNode track(const SectorMark& mark, Point center, double radius,
                          const LayoutContext& context) {
    const double outer = radius * cleanRatio(mark.outerRadius.value_or(1), 1);
    PlacedNode node =
        placedNode("ChartTrack", {center.x - outer, center.y - outer, 2 * outer, 2 * outer});
    node.sector = PlacedSector{0,
                               0,
                               kFullTurn,
                               center,
                               outer * cleanRatio(mark.innerRadius, 0),
                               outer,
                               fillFor(StyleName::hierarchicalTertiary, context)};
    return node;
  }

  std::vector<SectorMark> marks_;
};

}  // namespace
}  // namespace detail

View Chart(std::vector<SectorMark> marks) {
  return View(std::make_shared<const detail::ChartNode>(std::move(marks)));
}

}  // namespace halyard::ui
