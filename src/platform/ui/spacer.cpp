// Spacer and Divider.
#include "platform/ui/spacer.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/stack.hpp"

namespace halyard::ui {
namespace detail {
namespace {

class SpacerNode final : public Node {
 public:
  explicit SpacerNode(double minLength) : minLength_(minLength) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    if (!context.stackAxis) return {fill(proposal.width), fill(proposal.height)};
    if (*context.stackAxis == Axis::vertical) return {0, fill(proposal.height)};
    return {fill(proposal.width), 0};
  }

  PlacedNode place(const Rect& frame, const ProposedSize&, const LayoutContext&) const override {
    return placedNode("Spacer", frame);
  }

  bool isSpacer() const override { return true; }

 private:
  double fill(std::optional<double> proposed) const {
    return proposed ? std::max(minLength_, *proposed) : minLength_;
  }

  double minLength_;
};

class DividerNode final : public Node {
 public:
  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    if (context.stackAxis == Axis::horizontal) {
      return {dividerThickness, proposal.height.value_or(0)};
    }
    return {proposal.width.value_or(0), dividerThickness};
  }

  PlacedNode place(const Rect& frame, const ProposedSize&,
                   const LayoutContext& context) const override {
    PlacedNode node = placedNode("Divider", frame);
    node.shape =
        PlacedShape{ShapeKind::rectangle, fillFor(StyleName::hierarchicalTertiary, context)};
    return node;
  }
};

}  // namespace
}  // namespace detail

View Spacer(std::optional<double> minLength) {
  double length = defaultSpacing;
  if (minLength && !std::isnan(*minLength)) {
    length = std::isinf(*minLength) ? 0 : std::max(0.0, *minLength);
  }
  return View(std::make_shared<const detail::SpacerNode>(length));
}

View Divider() {
  static const auto divider = std::make_shared<const detail::DividerNode>();
  return View(divider);
}

}  // namespace halyard::ui
