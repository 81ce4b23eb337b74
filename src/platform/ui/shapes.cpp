// Capsule, Circle and Rectangle.
#include "platform/ui/shapes.hpp"

#include <memory>

#include "platform/ui/detail/node.hpp"

namespace halyard::ui {
namespace detail {
namespace {

class ShapeNode final : public Node {
 public:
  ShapeNode(ShapeKind shape, const char* kind) : shape_(shape), kind_(kind) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext&) const override {
    return {proposal.width.value_or(defaultShapeLength),
            proposal.height.value_or(defaultShapeLength)};
  }

  PlacedNode place(const Rect& frame, const ProposedSize&,
                   const LayoutContext& context) const override {
    PlacedNode node = placedNode(kind_, frame);
    node.shape = PlacedShape{shape_, fillFor(context.env.foregroundStyle, context)};
    return node;
  }

 private:
  ShapeKind shape_;
  const char* kind_;
};

}  // namespace
}  // namespace detail

View Capsule(RoundedCornerStyle /*style*/) {
  // Both corner styles are drawn as the same capsule: its ends are half circles.
  return View(std::make_shared<const detail::ShapeNode>(ShapeKind::capsule, "Capsule"));
}

View Circle() {
  return View(std::make_shared<const detail::ShapeNode>(ShapeKind::circle, "Circle"));
}

View Rectangle() {
  return View(std::make_shared<const detail::ShapeNode>(ShapeKind::rectangle, "Rectangle"));
}

}  // namespace halyard::ui
