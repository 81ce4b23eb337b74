// The accessibility modifiers and the accessibility tree.
#include "platform/ui/accessibility.hpp"

#include <functional>
#include <memory>
#include <utility>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/group.hpp"

namespace halyard::ui {
namespace detail {
namespace {

// Records its traits on the node its child places; changes nothing else.
class AccessibilityNode final : public Node {
 public:
  AccessibilityNode(View child, PlacedAccessibility traits)
      : child_(std::move(child)), traits_(std::move(traits)) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return sizeOf(child_, proposal, context);
  }
  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    PlacedNode node = child_.node().place(frame, proposal, context);
    PlacedAccessibility& traits =
        node.accessibility ? *node.accessibility : node.accessibility.emplace();
    if (!traits.label) traits.label = traits_.label;
    if (!traits.children) traits.children = traits_.children;
    traits.hidden = traits.hidden || traits_.hidden;
    traits.heading = traits.heading || traits_.heading;
    if (!traits.announcement) traits.announcement = traits_.announcement;
    return node;
  }
  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return baselineOf(child_, proposal, context);
  }
  bool isSpacer() const override { return child_.node().isSpacer(); }
  bool keepsWithNext() const override { return child_.node().keepsWithNext(); }
  bool yieldsLength(Axis axis) const override { return child_.node().yieldsLength(axis); }

 private:
  View child_;
  PlacedAccessibility traits_;
};

// Wraps a view (each member of a group, each row of a lazy one) in `traits`.
std::function<View(const View&)> withTraits(PlacedAccessibility traits) {
  return [traits = std::move(traits)](const View& view) {
    return View(std::make_shared<const AccessibilityNode>(view, traits));
  };
}

}  // namespace
}  // namespace detail

View View::accessibilityLabel(std::string label) const {
  return modified(detail::withTraits({.label = std::move(label)}));
}

View View::accessibilityElement(AccessibilityChildBehavior children) const {
  return modified(detail::withTraits({.children = children}));
}

View View::accessibilityHidden(bool hidden) const {
  return modified(detail::withTraits({.hidden = hidden}));
}

View View::accessibilityHeading() const {
  return modified(detail::withTraits({.heading = true}));
}

View View::accessibilityAnnouncement(std::string text) const {
  if (text.empty()) return *this;
  return modified(detail::withTraits({.announcement = std::move(text)}));
}

namespace {

std::string joinedLabels(const std::vector<AccessibilityElement>& elements) {
  std::string out;
  for (const AccessibilityElement& element : elements) {
    std::string label = element.label;
    if (!element.children.empty()) {
      const std::string inner = joinedLabels(element.children);
      label = label.empty() ? inner : (inner.empty() ? label : label + ", " + inner);
    }
    if (label.empty()) continue;
    if (!out.empty()) out += ", ";
    out += label;
  }
  return out;
}

void collect(const PlacedNode& node, std::vector<AccessibilityElement>& out) {
  const PlacedAccessibility traits = node.accessibility.value_or(PlacedAccessibility{});
  if (traits.hidden) return;
  const AccessibilityRole leafRole = traits.heading ? AccessibilityRole::heading
                                     : node.symbol  ? AccessibilityRole::image
                                                    : AccessibilityRole::text;
  if (!traits.label && !traits.children && !traits.heading && !traits.announcement) {
    if (node.text) out.push_back({leafRole, node.text->spec.text, node.frame, {}, {}});
    if (node.symbol) return;  // unlabelled symbols are decorative
    for (const PlacedNode& child : node.children)
      collect(child, out);
    return;
  }

  const auto behavior = traits.children.value_or(AccessibilityChildBehavior::combine);
  std::vector<AccessibilityElement> inner;
  if (behavior != AccessibilityChildBehavior::ignore) {
    if (node.text)
      inner.push_back({AccessibilityRole::text, node.text->spec.text, node.frame, {}, {}});
    for (const PlacedNode& child : node.children)
      collect(child, inner);
  }
  AccessibilityElement element{
      leafRole, traits.label.value_or(""), node.frame, {}, traits.announcement.value_or("")};
  if (behavior == AccessibilityChildBehavior::contain) {
    element.role = traits.heading ? AccessibilityRole::heading : AccessibilityRole::group;
    element.children = std::move(inner);
  } else if (!traits.label) {
    element.label = joinedLabels(inner);
  }
  if (element.label.empty() && element.children.empty()) return;  // nothing to read
  out.push_back(std::move(element));
}

}  // namespace

std::vector<AccessibilityElement> accessibilityTree(const PlacedNode& root) {
  std::vector<AccessibilityElement> elements;
  collect(root, elements);
  return elements;
}

const char* roleName(AccessibilityRole role) {
  switch (role) {
    case AccessibilityRole::text:
      return "text";
    case AccessibilityRole::heading:
      return "heading";
    case AccessibilityRole::image:
      return "image";
    case AccessibilityRole::group:
      return "group";
  }
  return "text";
}

}  // namespace halyard::ui
