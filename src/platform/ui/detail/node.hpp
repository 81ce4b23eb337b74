#pragma once
// The private side of views: the node interface that layout talks to, and the context it
// carries down the tree. Only the toolkit's own source files include this header.

#include <bit>
#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <memory_resource>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ui/alignment.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/group.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"
#include "platform/ui/view.hpp"

namespace halyard::ui::detail {

class LayoutCache;
class ChildList;

// What a node's layout depends on besides its proposal. `id` names the context: every node
// that changes the context derives a new id from the old one and itself, so one node with one
// id always sees the same context during a layout.
struct LayoutContext {
  std::uint64_t id = 0;
  LayoutCache* cache = nullptr;
  Environment env;
  const TextMeasurer* measurer = nullptr;
  std::optional<Axis> stackAxis;  // the axis of the nearest enclosing stack
  Rect container;                 // the whole area laid out, for container backgrounds
  Visibility chartLegend = Visibility::automatic;
};

// One kind of view. Nodes are immutable and may be shared between trees and threads.
//
// Layout calls sizeThatFits() as often as it likes with different proposals, then place()
// once with the frame that answered the final proposal. Both must agree: place() lays the
// node out for `proposal` and fills `frame`, whose size sizeThatFits(proposal) returned.
class Node {
 public:
  virtual ~Node() = default;

  virtual Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const = 0;
  virtual PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                           const LayoutContext& context) const = 0;

  // The first text baseline, from the top of the node laid out for `proposal`; nothing for a
  // node without text.
  virtual std::optional<double> firstBaseline(const ProposedSize& /*proposal*/,
                                              const LayoutContext& /*context*/) const {
    return std::nullopt;
  }

  // Stacks give spacers what their other children leave.
  virtual bool isSpacer() const { return false; }
  // A node that shows as much of itself as it is offered along `axis` and nothing more (a
  // row-clipping stack): stacks along that axis serve it after their other children, without
  // asking it about an unbounded offer, which would make it measure every row it has.
  virtual bool yieldsLength(Axis /*axis*/) const { return false; }
  // A row that a row-clipping stack shows only together with the row after it.
  virtual bool keepsWithNext() const { return false; }
  // Empty views take no room and no spacing in stacks.
  virtual bool isEmpty() const { return false; }
  // A group's children, already flattened, are spliced into the stack that holds it.
  virtual const ChildList* groupChildren() const { return nullptr; }
  // A group whose members are made one by one when asked for (ForEach over a random-access
  // range).
  virtual const RowSource* rowSource() const { return nullptr; }
};

// The children a node holds: a vector of its own, or the children of a group, kept alive by
// holding the group, or (for a node that a group owns) the group's children as they are. Long
// lists in groups are thus never copied. A list may keep lazy groups (ForEach over a
// random-access range) as single entries, whose rows are made only when a layout asks for
// them (see BuiltRows).
class ChildList {
 public:
  explicit ChildList(std::vector<View> own, bool holdsLazyGroups = false)
      : own_(std::move(own)), lazy_(holdsLazyGroups) {}
  // The children of `group`, which must be a group.
  static ChildList of(View group) {
    ChildList list;
    const ChildList* members = group.node().groupChildren();
    list.shared_ = &members->views();
    list.lazy_ = members->holdsLazyGroups();
    list.owner_ = std::move(group);
    return list;
  }
  // `views`, owned by whoever owns the node that holds this list.
  static ChildList borrowed(const ChildList& views) {
    ChildList list;
    list.shared_ = &views.views();
    list.lazy_ = views.holdsLazyGroups();
    return list;
  }

  const std::vector<View>& views() const { return shared_ ? *shared_ : own_; }
  // Whether some entry is a lazy group, still to be made into rows.
  bool holdsLazyGroups() const { return lazy_; }

 private:
  ChildList() = default;

  std::vector<View> own_;
  View owner_;
  const std::vector<View>* shared_ = nullptr;
  bool lazy_ = false;
};

// The rows of a list that keeps lazy groups, made in order as a stack asks for them: groups
// are spliced in and empty views left out as they come. Rows made stay until the layout ends
// (references to them stay valid as more are made), so that every question about a row
// during one layout is about the same node.
class BuiltRows {
 public:
  explicit BuiltRows(const std::vector<View>& list) { pending_.push_back({&list, nullptr, 0, {}}); }

  // Row `index`, made now if need be; nullptr when the list has fewer rows.
  const View* at(std::size_t index);

 private:
  struct Cursor {
    const std::vector<View>* views;  // either these views
    const RowSource* source;         // or these rows
    std::size_t next;
    View owner;  // keeps views or source alive
  };

  std::deque<View> rows_;
  std::vector<Cursor> pending_;  // innermost last
};

// splitmix64's finaliser: spreads every input bit over the whole result.
inline std::uint64_t mix64(std::uint64_t x) {
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// The context `by` hands down to its children.
inline LayoutContext derive(const LayoutContext& context, const Node* by) {
  LayoutContext derived = context;
  derived.id = mix64(context.id ^ (reinterpret_cast<std::uintptr_t>(by) * 0x9e3779b97f4a7c15ULL));
  return derived;
}

// Remembers answers during one layout. Stacks ask each child about several proposals, and
// nested stacks ask again for every proposal they get; without it layout time grows
// exponentially with nesting depth. It also keeps the views that readers build alive until
// the layout ends, so no node address is reused while answers about it are remembered.
class LayoutCache {
 public:
  struct Key {
    const Node* node;
    std::uint64_t context;
    double width;  // -1: unspecified
    double height;
    bool operator==(const Key&) const = default;
  };

  // Adding 0.0 turns -0.0 into 0.0, so that equal keys have equal bits to hash.
  static Key key(const Node& node, const ProposedSize& proposal, const LayoutContext& context) {
    return {&node, context.id, proposal.width.value_or(-1) + 0.0,
            proposal.height.value_or(-1) + 0.0};
  }

  struct KeyHash {
    std::size_t operator()(const Key& k) const {
      std::uint64_t h = mix64(reinterpret_cast<std::uintptr_t>(k.node) ^ k.context);
      h = mix64(h ^ std::bit_cast<std::uint64_t>(k.width));
      return mix64(h ^ std::bit_cast<std::uint64_t>(k.height));
    }
  };

  // A widget-sized layout remembers about a thousand answers: they come from one arena that
  // is released as a whole when the layout ends, not one by one.
  std::pmr::monotonic_buffer_resource arena{64 * 1024};
  std::pmr::unordered_map<Key, Size, KeyHash> sizes{&arena};
  std::pmr::unordered_map<Key, std::optional<double>, KeyHash> baselines{&arena};
  std::pmr::unordered_map<Key, View, KeyHash> built{&arena};  // views made by readers
  // Rows made from lazy groups, for each stack that holds such a list.
  std::unordered_map<const Node*, std::unique_ptr<BuiltRows>> rows;
};

// A child's size and first baseline for a proposal, remembered for the layout.
inline Size sizeOf(const View& view, const ProposedSize& proposal, const LayoutContext& context) {
  if (!context.cache) return view.node().sizeThatFits(proposal, context);
  const auto key = LayoutCache::key(view.node(), proposal, context);
  auto found = context.cache->sizes.find(key);
  if (found != context.cache->sizes.end()) return found->second;
  const Size size = view.node().sizeThatFits(proposal, context);
  context.cache->sizes.emplace(key, size);
  return size;
}

inline std::optional<double> baselineOf(const View& view, const ProposedSize& proposal,
                                        const LayoutContext& context) {
  if (!context.cache) return view.node().firstBaseline(proposal, context);
  const auto key = LayoutCache::key(view.node(), proposal, context);
  auto found = context.cache->baselines.find(key);
  if (found != context.cache->baselines.end()) return found->second;
  const auto baseline = view.node().firstBaseline(proposal, context);
  context.cache->baselines.emplace(key, baseline);
  return baseline;
}

// A length from outside: NaN becomes `fallback`, negatives become zero.
inline double sanitizeLength(double value, double fallback = 0) {
  if (std::isnan(value)) return fallback;
  return value < 0 ? 0 : value;
}

inline std::optional<double> sanitizeLength(std::optional<double> value) {
  if (!value) return std::nullopt;
  if (std::isnan(*value)) return std::nullopt;
  return *value < 0 ? 0 : *value;
}

// A proposal from outside: NaN dimensions become unspecified, negatives zero.
inline ProposedSize sanitizeProposal(const ProposedSize& proposal) {
  return {sanitizeLength(proposal.width), sanitizeLength(proposal.height)};
}

// Where a child of length `child` starts inside `room` for an alignment.
inline double alignOffset(HorizontalAlignment alignment, double room, double child) {
  switch (alignment) {
    case HorizontalAlignment::leading:
      return 0;
    case HorizontalAlignment::center:
      return (room - child) / 2;
    case HorizontalAlignment::trailing:
      return room - child;
  }
  return 0;
}

// Vertical alignment; firstTextBaseline places a single child at the top.
inline double alignOffset(VerticalAlignment alignment, double room, double child) {
  switch (alignment) {
    case VerticalAlignment::top:
    case VerticalAlignment::firstTextBaseline:
      return 0;
    case VerticalAlignment::center:
      return (room - child) / 2;
    case VerticalAlignment::bottom:
      return room - child;
  }
  return 0;
}

// What becomes of lazy groups when a list is flattened: kept as single entries (for lists
// that ask for their rows in order, and for groups), or made into their rows at once.
enum class LazyGroups { keep, build };

// A stack's children with groups spliced in and empty views left out. Children without
// groups or empty views are kept as they are, and a group as the only child lends its list:
// neither copies a view.
ChildList flattenChildren(std::vector<View> children, LazyGroups lazy = LazyGroups::build);

// How a group is laid out on its own: a centred VStack with the default spacing over the
// group's (flattened) children, which the group owns and outlive the stack. Its lazy groups
// are made into rows first.
View groupStack(const ChildList& children);

// The fill for a style in the context's appearance.
Fill fillFor(StyleName style, const LayoutContext& context);

// A placed node of `kind` with `frame` and nothing else.
PlacedNode placedNode(const char* kind, const Rect& frame);

}  // namespace halyard::ui::detail
