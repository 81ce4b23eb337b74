// View handles, empty views, groups and the modifiers that wrap a view in another node.
#include "platform/ui/view.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <typeinfo>
#include <utility>
#include <vector>

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

// A group laid out on its own is a stack over its members. While some of them are still to be
// made (lazy groups), that stack is made when the layout first asks, and kept for the layout.
template <class Make>
View stackForLayout(const Node& group, const LayoutContext& context, const Make& make) {
  if (!context.cache) return make();
  const LayoutCache::Key key{&group, 0, -2, -2};
  auto found = context.cache->built.find(key);
  if (found != context.cache->built.end()) return found->second;
  return context.cache->built.emplace(key, make()).first->second;
}

// What a group does when it is laid out on its own, for either kind of group.
template <class Self>
class GroupBase : public Node {
 public:
  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return sizeOf(self().asStack(context), proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    return self().asStack(context).node().place(frame, proposal, context);
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(self().asStack(context), proposal, context);
  }

 private:
  const Self& self() const { return static_cast<const Self&>(*this); }
};

class GroupNode final : public GroupBase<GroupNode> {
 public:
  explicit GroupNode(std::vector<View> children)
      : list_(flattenChildren(std::move(children), LazyGroups::keep)),
        asStack_(list_.holdsLazyGroups() ? View() : groupStack(list_)) {}

  const ChildList* groupChildren() const override { return &list_; }
  View asStack(const LayoutContext& context) const {
    if (!list_.holdsLazyGroups()) return asStack_;
    return stackForLayout(*this, context, [&] { return groupStack(list_); });
  }

 private:
  ChildList list_;  // flattened
  View asStack_;    // lays out list_, which it borrows; empty while list_ has lazy groups
};

// The rows of another lazy group, each changed by a modifier as it is made.
class MappedRows final : public RowSource {
 public:
  MappedRows(std::size_t size, std::function<View(std::size_t)> row)
      : size_(size), row_(std::move(row)) {}
  std::size_t size() const override { return size_; }
  View row(std::size_t index) const override { return row_(index); }

 private:
  std::size_t size_;
  std::function<View(std::size_t)> row_;
};

// ForEach over a random-access range: its rows are made only when something asks for them.
class LazyGroupNode final : public GroupBase<LazyGroupNode> {
 public:
  explicit LazyGroupNode(std::shared_ptr<const RowSource> rows) : rows_(std::move(rows)) {}

  const RowSource* rowSource() const override { return rows_.get(); }
  View asStack(const LayoutContext& context) const {
    return stackForLayout(*this, context, [&] {
      std::vector<View> rows;
      rows.reserve(rows_->size());
      for (std::size_t i = 0; i < rows_->size(); ++i)
        rows.push_back(rows_->row(i));
      return VStack(std::move(rows));
    });
  }

 private:
  std::shared_ptr<const RowSource> rows_;
};

// Changes the context for its subtree; otherwise invisible. What it changes comes from
// `Change`, called as change(LayoutContext&).
template <class Change>
class ContextNode final : public Node {
 public:
  ContextNode(View child, Change change) : child_(std::move(child)), change_(std::move(change)) {}

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
  bool keepsWithNext() const override { return child_.node().keepsWithNext(); }

  const View& child() const { return child_; }
  const Change& change() const { return change_; }
  // Only for a node that nobody else holds yet, made non-const.
  Change& mutableChange() { return change_; }

 private:
  LayoutContext changed(const LayoutContext& context) const {
    LayoutContext inner = derive(context, this);
    change_(inner);
    return inner;
  }

  View child_;
  Change change_;
};

// Any change to the environment, as a function.
struct EnvironmentChange {
  std::function<void(Environment&)> change;
  void operator()(LayoutContext& context) const { change(context.env); }
};

}  // namespace

// The inherited settings that modifiers set for a subtree. Consecutive setting modifiers
// share one node holding them all; `set` says which of them it holds.
struct InheritedSettings {
  enum Field : std::uint8_t {
    kFont = 1 << 0,
    kForegroundStyle = 1 << 1,
    kLineLimit = 1 << 2,
    kTruncationMode = 1 << 3,
    kMinimumScaleFactor = 1 << 4,
    kKerning = 1 << 5,
    kChartLegend = 1 << 6,
  };

  std::uint8_t set = 0;
  Font font;
  StyleName foregroundStyle = StyleName::primary;
  TruncationMode truncationMode = TruncationMode::tail;
  Visibility chartLegend = Visibility::automatic;
  int lineLimit = 0;  // 0: no limit
  double minimumScaleFactor = 1;
  double kerning = 0;

  bool has(Field field) const { return (set & field) != 0; }

  void operator()(LayoutContext& context) const {
    Environment& env = context.env;
    if (has(kFont)) env.font = font;
    if (has(kForegroundStyle)) env.foregroundStyle = foregroundStyle;
    if (has(kLineLimit))
      env.lineLimit = lineLimit > 0 ? std::optional<int>(lineLimit) : std::nullopt;
    if (has(kTruncationMode)) env.truncationMode = truncationMode;
    if (has(kMinimumScaleFactor)) env.minimumScaleFactor = minimumScaleFactor;
    if (has(kKerning)) env.kerning = kerning;
    if (has(kChartLegend)) context.chartLegend = chartLegend;
  }
};

namespace {

// `inner` applied after `outer`: what inner sets wins.
InheritedSettings merged(const InheritedSettings& outer, const InheritedSettings& inner) {
  InheritedSettings result = outer;
  result.set |= inner.set;
  if (inner.has(InheritedSettings::kFont)) result.font = inner.font;
  if (inner.has(InheritedSettings::kForegroundStyle))
    result.foregroundStyle = inner.foregroundStyle;
  if (inner.has(InheritedSettings::kLineLimit)) result.lineLimit = inner.lineLimit;
  if (inner.has(InheritedSettings::kTruncationMode)) result.truncationMode = inner.truncationMode;
  if (inner.has(InheritedSettings::kMinimumScaleFactor))
    result.minimumScaleFactor = inner.minimumScaleFactor;
  if (inner.has(InheritedSettings::kKerning)) result.kerning = inner.kerning;
  if (inner.has(InheritedSettings::kChartLegend)) result.chartLegend = inner.chartLegend;
  return result;
}

using SettingsNode = ContextNode<InheritedSettings>;
using EnvironmentNode = ContextNode<EnvironmentChange>;

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
    const auto width = length(width_);
    const auto height = length(height_);
    if (width && height) return {*width, *height};
    const Size child = sizeOf(child_, childProposal(proposal), context);
    return {width.value_or(child.width), height.value_or(child.height)};
  }

 private:
  // Lengths are kept as plain doubles, NaN for none: frames are many, and this keeps the node
  // small.
  static double finiteLength(std::optional<double> length) {
    const auto clean = sanitizeLength(length);
    if (!clean || std::isinf(*clean)) return std::numeric_limits<double>::quiet_NaN();
    return *clean;
  }
  static std::optional<double> length(double stored) {
    if (std::isnan(stored)) return std::nullopt;
    return stored;
  }

  ProposedSize childProposal(const ProposedSize& proposal) const override {
    const auto width = length(width_);
    const auto height = length(height_);
    return {width ? width : proposal.width, height ? height : proposal.height};
  }

  double width_;   // NaN: none
  double height_;  // NaN: none
};

// The minimum and maximum of one axis of a flexible frame. NaN limits are absent, negative ones
// zero; a maximum below the minimum is raised to it.
class FrameLimits {
 public:
  FrameLimits(std::optional<double> min, std::optional<double> max)
      : min_(sanitizeLength(min)), max_(sanitizeLength(max)) {
    if (min_ && std::isinf(*min_)) min_.reset();
    if (min_ && max_ && *max_ < *min_) max_ = min_;
  }

  std::optional<double> propose(std::optional<double> proposed) const {
    if (!proposed) return std::nullopt;
    double length = *proposed;
    if (min_) length = std::max(length, *min_);
    if (max_) length = std::min(length, *max_);
    return length;
  }

  double result(std::optional<double> proposed, double child) const {
    if (!min_ && !max_) return child;
    if (!proposed) return std::clamp(child, min_.value_or(0), max_.value_or(infinity));
    double length = child;
    if (min_) length = std::max(*min_, std::min(length, *proposed));
    if (max_) length = std::min(*max_, std::max(length, *proposed));
    return length;
  }

 private:
  std::optional<double> min_;
  std::optional<double> max_;
};

class FlexFrameNode final : public FrameNode {
 public:
  FlexFrameNode(View child, const FlexFrame& spec)
      : FrameNode(std::move(child), spec.alignment),
        width_(spec.minWidth, spec.maxWidth),
        height_(spec.minHeight, spec.maxHeight) {}

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

// Opacity and clipping change how the child is drawn, not where; keeping a row with the next
// one changes only whether a row-clipping stack shows it.
class DrawingNode final : public Node {
 public:
  DrawingNode(View child, double opacity, bool clips, bool keepsWithNext = false)
      : child_(std::move(child)), opacity_(opacity), clips_(clips), keepsWithNext_(keepsWithNext) {}

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
  bool keepsWithNext() const override { return keepsWithNext_ || child_.node().keepsWithNext(); }
  bool yieldsLength(Axis axis) const override { return child_.node().yieldsLength(axis); }

 private:
  View child_;
  double opacity_;
  bool clips_;
  bool keepsWithNext_;
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

namespace {

// Appends `view` to a flattened list: nothing for an empty view, the members of a group, and
// for a lazy group either itself (kept) or its rows, made now.
void appendFlat(std::vector<View>& flat, const View& view, LazyGroups lazy, bool& holdsLazy) {
  const Node& node = view.node();
  if (node.isEmpty()) return;
  if (const RowSource* rows = node.rowSource()) {
    if (lazy == LazyGroups::keep) {
      flat.push_back(view);
      holdsLazy = true;
      return;
    }
    for (std::size_t i = 0; i < rows->size(); ++i)
      appendFlat(flat, rows->row(i), lazy, holdsLazy);
    return;
  }
  if (const ChildList* members = node.groupChildren()) {
    for (const View& member : members->views())
      appendFlat(flat, member, lazy, holdsLazy);
    return;
  }
  flat.push_back(view);
}

}  // namespace

ChildList flattenChildren(std::vector<View> children, LazyGroups lazy) {
  // Group lists are flat already: splicing them in needs no recursion (but for the rows of
  // lazy groups, made now).
  std::size_t kept = 0;   // children that are not empty
  std::size_t total = 0;  // views in the flattened list
  const View* group = nullptr;
  bool lazyGroups = false;
  for (const View& child : children) {
    if (child.node().isEmpty()) continue;
    ++kept;
    if (child.node().rowSource()) {
      lazyGroups = true;
      ++total;
    } else if (const ChildList* members = child.node().groupChildren()) {
      total += members->views().size();
      group = &child;
      lazyGroups = lazyGroups || members->holdsLazyGroups();
    } else {
      ++total;
    }
  }
  if (!group && !lazyGroups) {
    if (kept < children.size())
      std::erase_if(children, [](const View& child) { return child.node().isEmpty(); });
    return ChildList(std::move(children));
  }
  const bool building = lazyGroups && lazy == LazyGroups::build;
  if (kept == 1 && group && !building) return ChildList::of(*group);

  std::vector<View> flat;
  flat.reserve(total);
  bool holdsLazy = false;
  for (const View& child : children)
    appendFlat(flat, child, lazy, holdsLazy);
  return ChildList(std::move(flat), holdsLazy);
}

const View* BuiltRows::at(std::size_t index) {
  while (rows_.size() <= index) {
    if (pending_.empty()) return nullptr;
    Cursor& top = pending_.back();
    const std::size_t size = top.views ? top.views->size() : top.source->size();
    if (top.next >= size) {
      pending_.pop_back();
      continue;
    }
    View view = top.views ? (*top.views)[top.next] : top.source->row(top.next);
    ++top.next;
    const Node& node = view.node();
    if (node.isEmpty()) continue;
    if (const RowSource* rows = node.rowSource()) {
      pending_.push_back({nullptr, rows, 0, std::move(view)});
    } else if (const ChildList* members = node.groupChildren()) {
      pending_.push_back({&members->views(), nullptr, 0, std::move(view)});
    } else {
      rows_.push_back(std::move(view));
    }
  }
  return &rows_[index];
}

namespace {
std::atomic<std::uint64_t> rowsMade{0};
}  // namespace

void countRowMade() {
  rowsMade.fetch_add(1, std::memory_order_relaxed);
}

View lazyGroup(std::shared_ptr<const RowSource> rows) {
  return View(std::make_shared<const LazyGroupNode>(std::move(rows)));
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

View EmptyView() {
  static const auto empty = std::make_shared<const detail::EmptyNode>();
  return View(empty);
}

View Group(std::vector<View> children) {
  return View(std::make_shared<const detail::GroupNode>(std::move(children)));
}

std::uint64_t forEachRowsMade() {
  return detail::rowsMade.load(std::memory_order_relaxed);
}

View::View() : node_(EmptyView().node_) {}

View::View(std::shared_ptr<const detail::Node> node) : node_(std::move(node)) {
  if (!node_) node_ = EmptyView().node_;
}

View View::modified(const std::function<View(const View&)>& wrap) const {
  if (node_->isEmpty()) return *this;
  if (const detail::RowSource* rows = node_->rowSource()) {
    // Each row is modified when it is made.
    return detail::lazyGroup(std::make_shared<const detail::MappedRows>(
        rows->size(), [inner = *this, wrap](std::size_t i) {
          return inner.node().rowSource()->row(i).modified(wrap);
        }));
  }
  if (const auto* members = node_->groupChildren()) {
    std::vector<View> wrapped;
    wrapped.reserve(members->views().size());
    for (const View& member : members->views())
      wrapped.push_back(member.modified(wrap));
    return Group(std::move(wrapped));
  }
  return wrap(*this);
}

View View::inherited(const detail::InheritedSettings& settings) const& {
  return modified([settings](const View& view) {
    const detail::Node& node = view.node();
    if (typeid(node) == typeid(detail::SettingsNode)) {
      // Settings right around this view: one node with both, the inner values winning.
      const auto& inner = static_cast<const detail::SettingsNode&>(node);
      return View(std::make_shared<detail::SettingsNode>(inner.child(),
                                                         detail::merged(settings, inner.change())));
    }
    return View(std::make_shared<detail::SettingsNode>(view, settings));
  });
}

View View::inherited(const detail::InheritedSettings& settings) && {
  const detail::Node* own = node_.get();
  if (node_.use_count() == 1 && typeid(*own) == typeid(detail::SettingsNode)) {
    // Nobody else can see this node: merge into it rather than build a new one. It was made
    // non-const (above), so changing it is allowed.
    auto& node =
        const_cast<detail::SettingsNode&>(static_cast<const detail::SettingsNode&>(*node_));
    node.mutableChange() = detail::merged(settings, node.change());
    return std::move(*this);
  }
  return inherited(settings);
}

View View::transformEnvironment(std::function<void(Environment&)> change) const {
  if (!change) return *this;
  return modified([change](const View& view) {
    return View(
        std::make_shared<const detail::EnvironmentNode>(view, detail::EnvironmentChange{change}));
  });
}

namespace {

using detail::InheritedSettings;

InheritedSettings fontSetting(Font value) {
  InheritedSettings settings;
  settings.set = InheritedSettings::kFont;
  settings.font = value;
  return settings;
}

InheritedSettings foregroundStyleSetting(StyleName style) {
  InheritedSettings settings;
  settings.set = InheritedSettings::kForegroundStyle;
  settings.foregroundStyle = style;
  return settings;
}

InheritedSettings lineLimitSetting(std::optional<int> lines) {
  InheritedSettings settings;
  settings.set = InheritedSettings::kLineLimit;
  settings.lineLimit = lines && *lines >= 1 ? *lines : 0;
  return settings;
}

InheritedSettings truncationModeSetting(TruncationMode mode) {
  InheritedSettings settings;
  settings.set = InheritedSettings::kTruncationMode;
  settings.truncationMode = mode;
  return settings;
}

InheritedSettings minimumScaleFactorSetting(double factor) {
  if (!(factor > 0)) factor = 1;  // NaN, zero and negatives: no shrinking
  InheritedSettings settings;
  settings.set = InheritedSettings::kMinimumScaleFactor;
  settings.minimumScaleFactor = std::min(factor, 1.0);
  return settings;
}

InheritedSettings kerningSetting(double points) {
  InheritedSettings settings;
  settings.set = InheritedSettings::kKerning;
  settings.kerning = std::isfinite(points) ? points : 0;
  return settings;
}

InheritedSettings chartLegendSetting(Visibility visibility) {
  InheritedSettings settings;
  settings.set = InheritedSettings::kChartLegend;
  settings.chartLegend = visibility;
  return settings;
}

}  // namespace

// Each setting modifier twice: on a view that others may hold, and on a temporary one, whose
// settings node (when it has one) can take the new setting in place.
View View::font(Font value) const& {
  return inherited(fontSetting(value));
}
View View::font(Font value) && {
  return std::move(*this).inherited(fontSetting(value));
}

View View::foregroundStyle(StyleName style) const& {
  return inherited(foregroundStyleSetting(style));
}
View View::foregroundStyle(StyleName style) && {
  return std::move(*this).inherited(foregroundStyleSetting(style));
}

View View::lineLimit(std::optional<int> lines) const& {
  return inherited(lineLimitSetting(lines));
}
View View::lineLimit(std::optional<int> lines) && {
  return std::move(*this).inherited(lineLimitSetting(lines));
}

View View::truncationMode(TruncationMode mode) const& {
  return inherited(truncationModeSetting(mode));
}
View View::truncationMode(TruncationMode mode) && {
  return std::move(*this).inherited(truncationModeSetting(mode));
}

View View::minimumScaleFactor(double factor) const& {
  return inherited(minimumScaleFactorSetting(factor));
}
View View::minimumScaleFactor(double factor) && {
  return std::move(*this).inherited(minimumScaleFactorSetting(factor));
}

View View::kerning(double points) const& {
  return inherited(kerningSetting(points));
}
View View::kerning(double points) && {
  return std::move(*this).inherited(kerningSetting(points));
}

View View::chartLegend(Visibility visibility) const& {
  return inherited(chartLegendSetting(visibility));
}
View View::chartLegend(Visibility visibility) && {
  return std::move(*this).inherited(chartLegendSetting(visibility));
}

View View::frame(const FixedFrame& spec) const {
  return modified([spec](const View& view) {
    return View(std::make_shared<const detail::FixedFrameNode>(view, spec));
  });
}

View View::frame(const FlexFrame& spec) const {
  return modified([spec](const View& view) {
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
  return modified([insets](const View& view) {
    return View(std::make_shared<const detail::PaddingNode>(view, insets));
  });
}

View View::keepWithNext() const {
  return modified([](const View& view) {
    return View(std::make_shared<const detail::DrawingNode>(view, 1.0, false, true));
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
