// View handles, empty views, groups and the modifiers that wrap a view in another node.
#include "platform/ui/view.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/group.hpp"
#include "platform/ui/stack.hpp"

namespace halyard::ui {
namespace detail {
namespace {

class EmptyNode final : public Node {
 public:
  Size sizeThatFits(const ProposedSize&, const LayoutContext&) const override { return {}; }
  PlacedNode place(const Rect& frame, const ProposedSize&, const LayoutContext&) const override {
    return placedNode("EmptyView", frame);
  }
  bool isEmpty() const override { return true; }
};

class GroupNode final : public Node {
 public:
  explicit GroupNode(std::vector<View> children)
      : children_(std::move(children)),
        asStack_(VStack(HorizontalAlignment::center, std::nullopt, children_)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return sizeOf(asStack_, proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    return asStack_.node().place(frame, proposal, context);
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(asStack_, proposal, context);
  }
  const std::vector<View>* groupChildren() const override { return &children_; }

 private:
  std::vector<View> children_;
  View asStack_;
};

// Changes the context (environment, legend visibility) for its subtree; otherwise invisible.
class ContextNode final : public Node {
 public:
  ContextNode(View child, std::function<void(LayoutContext&)> change)
      : child_(std::move(child)), change_(std::move(change)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return sizeOf(child_, proposal, changed(context));
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    return child_.node().place(frame, proposal, changed(context));
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(child_, proposal, changed(context));
  }
  bool isSpacer() const override { return child_.node().isSpacer(); }

 private:
  LayoutContext changed(const LayoutContext& context) const {
    LayoutContext inner = derive(context, this);
    change_(inner);
    return inner;
  }

  View child_;
  std::function<void(LayoutContext&)> change_;
};

// What both kinds of frame share: the child is offered a proposal of the frame's making and
// aligned inside the frame's own size.
class FrameNode : public Node {
 public:
  FrameNode(View child, Alignment alignment) : child_(std::move(child)), alignment_(alignment) {}

  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    const ProposedSize inner = childProposal(proposal);
    const Size child = sizeOf(child_, inner, context);
    const Rect childFrame{frame.x + alignOffset(alignment_.horizontal, frame.width, child.width),
                          frame.y + alignOffset(alignment_.vertical, frame.height, child.height),
                          child.width, child.height};
    PlacedNode node = placedNode("Frame", frame);
    node.children.push_back(child_.node().place(childFrame, inner, context));
    return node;
  }

  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    const ProposedSize inner = childProposal(proposal);
    const auto baseline = baselineOf(child_, inner, context);
    if (!baseline) return std::nullopt;
    const Size child = sizeOf(child_, inner, context);
    const Size own = sizeThatFits(proposal, context);
    return *baseline + alignOffset(alignment_.vertical, own.height, child.height);
  }

 protected:
  virtual ProposedSize childProposal(const ProposedSize& proposal) const = 0;

  View child_;
  Alignment alignment_;
};

class FixedFrameNode final : public FrameNode {
 public:
  FixedFrameNode(View child, const FixedFrame& spec)
      : FrameNode(std::move(child), spec.alignment),
        width_(finiteLength(spec.width)),
        height_(finiteLength(spec.height)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    if (width_ && height_) return {*width_, *height_};
    const Size child = sizeOf(child_, childProposal(proposal), context);
    return {width_.value_or(child.width), height_.value_or(child.height)};
  }

 private:
  static std::optional<double> finiteLength(std::optional<double> length) {
    const auto clean = sanitizeLength(length);
    if (clean && std::isinf(*clean)) return std::nullopt;
    return clean;
  }

  ProposedSize childProposal(const ProposedSize& proposal) const override {
    return {width_ ? width_ : proposal.width, height_ ? height_ : proposal.height};
  }

  std::optional<double> width_;
  std::optional<double> height_;
};

// The minimum and maximum of one axis of a flexible frame.
struct FrameLimits {
  std::optional<double> min;
  std::optional<double> max;

  std::optional<double> propose(std::optional<double> proposed) const {
    if (!proposed) return std::nullopt;
    double length = *proposed;
    if (min) length = std::max(length, *min);
    if (max) length = std::min(length, *max);
    return length;
  }

  double result(std::optional<double> proposed, double child) const {
    if (!min && !max) return child;
    if (!proposed) return std::clamp(child, min.value_or(0), max.value_or(infinity));
    double length = child;
    if (min) length = std::max(*min, std::min(length, *proposed));
    if (max) length = std::min(*max, std::max(length, *proposed));
    return length;
  }
};

// NaN limits are absent, negative ones zero; a maximum below the minimum is raised to it.
FrameLimits frameLimits(std::optional<double> min, std::optional<double> max) {
  FrameLimits result{sanitizeLength(min), sanitizeLength(max)};
  if (result.min && std::isinf(*result.min)) result.min.reset();
  if (result.min && result.max && *result.max < *result.min) result.max = result.min;
  return result;
}

class FlexFrameNode final : public FrameNode {
 public:
  FlexFrameNode(View child, const FlexFrame& spec)
      : FrameNode(std::move(child), spec.alignment),
        width_(frameLimits(spec.minWidth, spec.maxWidth)),
        height_(frameLimits(spec.minHeight, spec.maxHeight)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    const Size child = sizeOf(child_, childProposal(proposal), context);
    return {width_.result(proposal.width, child.width),
            height_.result(proposal.height, child.height)};
  }

 private:
  ProposedSize childProposal(const ProposedSize& proposal) const override {
    return {width_.propose(proposal.width), height_.propose(proposal.height)};
  }

  FrameLimits width_;
  FrameLimits height_;
};

class PaddingNode final : public Node {
 public:
  PaddingNode(View child, const EdgeInsets& insets)
      : child_(std::move(child)),
        insets_{sanitizeFinite(insets.top), sanitizeFinite(insets.leading),
                sanitizeFinite(insets.bottom), sanitizeFinite(insets.trailing)} {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    const Size child = sizeOf(child_, childProposal(proposal), context);
    return {child.width + horizontal(), child.height + vertical()};
  }

  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    const ProposedSize inner = childProposal(proposal);
    const Size child = sizeOf(child_, inner, context);
    PlacedNode node = placedNode("Padding", frame);
    node.children.push_back(child_.node().place(
        {frame.x + insets_.leading, frame.y + insets_.top, child.width, child.height}, inner,
        context));
    return node;
  }

  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    const auto baseline = baselineOf(child_, childProposal(proposal), context);
    if (!baseline) return std::nullopt;
    return *baseline + insets_.top;
  }

 private:
  static double sanitizeFinite(double length) {
    return std::isfinite(length) ? sanitizeLength(length) : 0;
  }
  double horizontal() const { return insets_.leading + insets_.trailing; }
  double vertical() const { return insets_.top + insets_.bottom; }

  static std::optional<double> shrink(std::optional<double> length, double by) {
    if (!length) return std::nullopt;
    return std::max(0.0, *length - by);
  }
  ProposedSize childProposal(const ProposedSize& proposal) const {
    return {shrink(proposal.width, horizontal()), shrink(proposal.height, vertical())};
  }

  View child_;
  EdgeInsets insets_;
};

// Opacity and clipping change how the child is drawn, not where.
class DrawingNode final : public Node {
 public:
  DrawingNode(View child, double opacity, bool clips)
      : child_(std::move(child)), opacity_(opacity), clips_(clips) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return sizeOf(child_, proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    PlacedNode child = child_.node().place(frame, proposal, context);
    if (!clips_) {
      child.opacity *= opacity_;
      return child;
    }
    PlacedNode node = placedNode("Clip", frame);
    node.clips = true;
    node.opacity = opacity_;
    node.children.push_back(std::move(child));
    return node;
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(child_, proposal, context);
  }
  bool isSpacer() const override { return !clips_ && child_.node().isSpacer(); }

 private:
  View child_;
  double opacity_;
  bool clips_;
};

class ContainerBackgroundNode final : public Node {
 public:
  ContainerBackgroundNode(View child, StyleName style) : child_(std::move(child)), style_(style) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return sizeOf(child_, proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    PlacedNode node = placedNode("ContainerBackground", context.container);
    node.shape = PlacedShape{ShapeKind::rectangle, fillFor(style_, context)};
    node.children.push_back(child_.node().place(frame, proposal, context));
    return node;
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(child_, proposal, context);
  }

 private:
  View child_;
  StyleName style_;
};

}  // namespace

std::vector<View> flattenChildren(const std::vector<View>& children) {
  std::vector<View> flat;
  flat.reserve(children.size());
  for (const View& child : children) {
    if (child.node().isEmpty()) continue;
    if (const auto* members = child.node().groupChildren()) {
      for (View& member : flattenChildren(*members))
        flat.push_back(std::move(member));
      continue;
    }
    flat.push_back(child);
  }
  return flat;
}

Fill fillFor(StyleName style, const LayoutContext& context) {
  return {style, resolve(style, context.env.appearance)};
}

PlacedNode placedNode(const char* kind, const Rect& frame) {
  PlacedNode node;
  node.kind = kind;
  node.frame = frame;
  return node;
}

}  // namespace detail

namespace {

View contextModifier(const View& view, std::function<void(detail::LayoutContext&)> change) {
  return View(std::make_shared<detail::ContextNode>(view, std::move(change)));
}

View environmentModifier(const View& view, std::function<void(Environment&)> change) {
  return contextModifier(
      view, [change = std::move(change)](detail::LayoutContext& context) { change(context.env); });
}

}  // namespace

View EmptyView() {
  static const auto empty = std::make_shared<const detail::EmptyNode>();
  return View(empty);
}

View Group(std::vector<View> children) {
  return View(std::make_shared<const detail::GroupNode>(std::move(children)));
}

View::View() : node_(EmptyView().node_) {}

View::View(std::shared_ptr<const detail::Node> node) : node_(std::move(node)) {
  if (!node_) node_ = EmptyView().node_;
}

View View::modified(const std::function<View(const View&)>& wrap) const {
  if (node_->isEmpty()) return *this;
  if (const auto* members = node_->groupChildren()) {
    std::vector<View> wrapped;
    wrapped.reserve(members->size());
    for (const View& member : *members)
      wrapped.push_back(member.modified(wrap));
    return Group(std::move(wrapped));
  }
  return wrap(*this);
}

View View::transformEnvironment(std::function<void(Environment&)> change) const {
  if (!change) return *this;
  return modified([&](const View& view) { return environmentModifier(view, change); });
}

View View::font(Font value) const {
  return transformEnvironment([value](Environment& env) { env.font = value; });
}

View View::foregroundStyle(StyleName style) const {
  return transformEnvironment([style](Environment& env) { env.foregroundStyle = style; });
}

View View::lineLimit(std::optional<int> lines) const {
  if (lines && *lines < 1) lines.reset();
  return transformEnvironment([lines](Environment& env) { env.lineLimit = lines; });
}

View View::truncationMode(TruncationMode mode) const {
  return transformEnvironment([mode](Environment& env) { env.truncationMode = mode; });
}

View View::minimumScaleFactor(double factor) const {
  if (!(factor > 0)) factor = 1;  // NaN, zero and negatives: no shrinking
  factor = std::min(factor, 1.0);
  return transformEnvironment([factor](Environment& env) { env.minimumScaleFactor = factor; });
}

View View::kerning(double points) const {
  if (!std::isfinite(points)) points = 0;
  return transformEnvironment([points](Environment& env) { env.kerning = points; });
}

View View::chartLegend(Visibility visibility) const {
  return modified([visibility](const View& view) {
    return contextModifier(
        view, [visibility](detail::LayoutContext& context) { context.chartLegend = visibility; });
  });
}

View View::frame(const FixedFrame& spec) const {
  return modified([&](const View& view) {
    return View(std::make_shared<const detail::FixedFrameNode>(view, spec));
  });
}

View View::frame(const FlexFrame& spec) const {
  return modified([&](const View& view) {
    return View(std::make_shared<const detail::FlexFrameNode>(view, spec));
  });
}

View View::padding(Edge edges, double length) const {
  EdgeInsets insets;
  if (contains(edges, Edge::top)) insets.top = length;
  if (contains(edges, Edge::leading)) insets.leading = length;
  if (contains(edges, Edge::bottom)) insets.bottom = length;
  if (contains(edges, Edge::trailing)) insets.trailing = length;
  return padding(insets);
}

View View::padding(const EdgeInsets& insets) const {
  return modified([&](const View& view) {
    return View(std::make_shared<const detail::PaddingNode>(view, insets));
  });
}

View View::opacity(double value) const {
  if (std::isnan(value)) value = 1;
  value = std::clamp(value, 0.0, 1.0);
  return modified([value](const View& view) {
    return View(std::make_shared<const detail::DrawingNode>(view, value, false));
  });
}

View View::clipped() const {
  return modified([](const View& view) {
    return View(std::make_shared<const detail::DrawingNode>(view, 1.0, true));
  });
}

View View::containerBackground(StyleName style) const {
  return modified([style](const View& view) {
    return View(std::make_shared<const detail::ContainerBackgroundNode>(view, style));
  });
}

}  // namespace halyard::ui
