#pragma once
// View: an immutable description of a piece of user interface, and its modifiers.
//
// A View is a cheap handle to a shared, never-changing node. Views are made by the free
// factory functions (VStack, Text, Capsule, ...) and refined by the member modifiers below,
// each of which returns a new View and leaves the original untouched.

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/ui/alignment.hpp"
#include "platform/ui/color.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/font.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::ui {

namespace detail {
class Node;
struct InheritedSettings;
}  // namespace detail

// frame(width:height:alignment:): proposes exactly the given lengths to the content and takes
// them; an absent length passes the parent's proposal through and takes the content's length.
struct FixedFrame {
  std::optional<double> width{};
  std::optional<double> height{};
  Alignment alignment = Alignment::center;
};

// frame(minWidth:maxWidth:minHeight:maxHeight:alignment:): clamps the proposal into the
// limits before offering it to the content, then takes the content's length clamped into the
// limits, grown towards the proposal up to the maximum. maxWidth = infinity takes the whole
// proposed width (the content's width when the width is unspecified).
struct FlexFrame {
  std::optional<double> minWidth{};
  std::optional<double> maxWidth{};
  std::optional<double> minHeight{};
  std::optional<double> maxHeight{};
  Alignment alignment = Alignment::center;
};

enum class Visibility { automatic, visible, hidden };

class View {
 public:
  // An empty view: takes no room and is left out of stacks.
  View();
  explicit View(std::shared_ptr<const detail::Node> node);

  // Inherited text and style settings; inner values win. Consecutive settings share one
  // node; on a temporary view they go into its settings node, when nobody else holds it.
  View font(Font value) const&;
  View font(Font value) &&;
  View foregroundStyle(StyleName style) const&;
  View foregroundStyle(StyleName style) &&;
  View fill(StyleName style) const& { return foregroundStyle(style); }  // for shapes
  View fill(StyleName style) && { return std::move(*this).foregroundStyle(style); }
  View lineLimit(std::optional<int> lines) const&;  // < 1: no limit
  View lineLimit(std::optional<int> lines) &&;
  View truncationMode(TruncationMode mode) const&;
  View truncationMode(TruncationMode mode) &&;
  View minimumScaleFactor(double factor) const&;  // clamped to (0, 1]
  View minimumScaleFactor(double factor) &&;
  View kerning(double points) const&;
  View kerning(double points) &&;
  View chartLegend(Visibility visibility) const&;
  View chartLegend(Visibility visibility) &&;
  // Any other change to the environment of this subtree.
  View transformEnvironment(std::function<void(Environment&)> change) const;

  // Layout.
  View frame(const FixedFrame& spec) const;
  View frame(const FlexFrame& spec) const;
  View frame(double width, double height, Alignment alignment = Alignment::center) const {
    return frame(FixedFrame{width, height, alignment});
  }
  View padding(Edge edges, double length) const;
  View padding(double length) const { return padding(Edge::all, length); }
  View padding(const EdgeInsets& insets) const;
  // In a row-clipping stack: this row shows only when the row after it shows too (a title
  // with its first row). Anywhere else it changes nothing.
  View keepWithNext() const;

  // Drawing.
  View opacity(double value) const;  // clamped to [0, 1]; NaN: 1
  View clipped() const;              // content outside this view's frame is not drawn
  // A fill behind the content that covers the whole container (the widget), whatever
  // padding lies between the content and the container's edges.
  View containerBackground(StyleName style) const;

  // Accessibility (accessibility.hpp). A label makes this view one element read as the label;
  // accessibilityElement makes it one element over what it holds; a hidden view and all it
  // holds are not read; a heading is announced as one (section titles). An announcement is
  // said once when the element appears on the screen, whatever the reader is busy with (a
  // failure that needs attention); an empty text adds none. The innermost label, child
  // behaviour and announcement win.
  View accessibilityLabel(std::string label) const;
  View accessibilityElement(AccessibilityChildBehavior children) const;
  View accessibilityHidden(bool hidden = true) const;
  View accessibilityHeading() const;
  View accessibilityAnnouncement(std::string text) const;

  const detail::Node& node() const { return *node_; }

 private:
  // `wrap` applied to this view, or to each member of a group (to the rows of a lazy group as
  // they are made).
  View modified(const std::function<View(const View&)>& wrap) const;
  // This view under `settings`; merges with settings directly around it.
  View inherited(const detail::InheritedSettings& settings) const&;
  View inherited(const detail::InheritedSettings& settings) &&;

  std::shared_ptr<const detail::Node> node_;
};

}  // namespace halyard::ui
