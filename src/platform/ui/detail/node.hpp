#pragma once
// The private side of views: the node interface that layout talks to, and the context it
// carries down the tree. Only the toolkit's own source files include this header.

#include <cmath>
#include <optional>
#include <vector>

#include "platform/ui/alignment.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"
#include "platform/ui/view.hpp"

namespace halyard::ui::detail {

struct LayoutContext {
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
  // Empty views take no room and no spacing in stacks.
  virtual bool isEmpty() const { return false; }
  // A group's children are spliced into the stack that holds it.
  virtual const std::vector<View>* groupChildren() const { return nullptr; }
};

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

// A stack's children with groups spliced in and empty views left out.
std::vector<View> flattenChildren(const std::vector<View>& children);

// The fill for a style in the context's appearance.
Fill fillFor(StyleName style, const LayoutContext& context);

// A placed node of `kind` with `frame` and nothing else.
PlacedNode placedNode(const char* kind, const Rect& frame);

}  // namespace halyard::ui::detail
