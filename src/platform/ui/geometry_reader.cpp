// GeometryReader and EnvironmentReader.
#include "platform/ui/geometry_reader.hpp"

#include <memory>
#include <utility>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/shapes.hpp"

namespace halyard::ui {
namespace detail {
namespace {

class GeometryReaderNode final : public Node {
 public:
  explicit GeometryReaderNode(std::function<View(Size)> content) : content_(std::move(content)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext&) const override {
    return {proposal.width.value_or(defaultShapeLength),
            proposal.height.value_or(defaultShapeLength)};
  }

  PlacedNode place(const Rect& frame, const ProposedSize&,
                   const LayoutContext& context) const override {
    PlacedNode node = placedNode("GeometryReader", frame);
    if (!content_) return node;
    const Size size{frame.width, frame.height};
    const View content = content_(size);
    if (content.node().isEmpty()) return node;
    const ProposedSize offer{size.width, size.height};
    const Size taken = content.node().sizeThatFits(offer, context);
    node.children.push_back(
        content.node().place({frame.x, frame.y, taken.width, taken.height}, offer, context));
    return node;
  }

 private:
  std::function<View(Size)> content_;
};

class EnvironmentReaderNode final : public Node {
 public:
  explicit EnvironmentReaderNode(std::function<View(const Environment&)> content)
      : content_(std::move(content)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return build(context).node().sizeThatFits(proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    return build(context).node().place(frame, proposal, context);
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return build(context).node().firstBaseline(proposal, context);
  }

 private:
  View build(const LayoutContext& context) const {
    return content_ ? content_(context.env) : View();
  }

  std::function<View(const Environment&)> content_;
};

}  // namespace
}  // namespace detail

View GeometryReader(std::function<View(Size)> content) {
  return View(std::make_shared<const detail::GeometryReaderNode>(std::move(content)));
}

View EnvironmentReader(std::function<View(const Environment&)> content) {
  return View(std::make_shared<const detail::EnvironmentReaderNode>(std::move(content)));
}

}  // namespace halyard::ui
