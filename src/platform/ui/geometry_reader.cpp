// GeometryReader and EnvironmentReader.
#include "platform/ui/geometry_reader.hpp"

#include <memory>
#include <utility>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/shapes.hpp"

namespace halyard::ui {
namespace detail {
namespace {

// Keeps a view built during layout alive until the layout ends.
View keep(View view, const LayoutCache::Key& key, const LayoutContext& context) {
  if (context.cache) context.cache->built.insert_or_assign(key, view);
  return view;
}

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
    const View content =
        keep(content_(size), LayoutCache::key(*this, {size.width, size.height}, context), context);
    if (content.node().isEmpty()) return node;
    const ProposedSize offer{size.width, size.height};
    const Size taken = sizeOf(content, offer, context);
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
    return sizeOf(build(context), proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    return build(context).node().place(frame, proposal, context);
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(build(context), proposal, context);
  }

 private:
  View build(const LayoutContext& context) const {
    if (!content_) return {};
    if (!context.cache) return content_(context.env);
    const auto key = LayoutCache::key(*this, {}, context);
    auto found = context.cache->built.find(key);
    if (found != context.cache->built.end()) return found->second;
    return keep(content_(context.env), key, context);
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
