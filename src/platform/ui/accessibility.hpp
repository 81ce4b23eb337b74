#pragma once
// Accessibility: what a screen reader reads of a laid-out view.
//
// Views describe it with the accessibility modifiers (view.hpp); layout records what they
// say on the placed nodes, and accessibilityTree() derives from a placed tree the elements a
// reader walks, kept apart from the placed tree itself. Without modifiers every text is an
// element read in full (never in its shortened, displayed form) and every symbol is
// decorative: the view that shows a symbol gives it a label when it means something. Shapes,
// bars and charts are not read. Rows a row-clipping stack leaves out are not placed, so they
// are not read either.

#include <string>
#include <vector>

#include "platform/ui/geometry.hpp"
#include "platform/ui/placed_node.hpp"

namespace halyard::ui {

enum class AccessibilityRole { text, heading, image, group };

struct AccessibilityElement {
  AccessibilityRole role = AccessibilityRole::text;
  std::string label;  // from the full texts; a group's own label may be empty
  Rect frame;         // container coordinates, points
  std::vector<AccessibilityElement> children;  // groups only
  std::string announcement;                    // said once when the element appears; empty: none
  bool operator==(const AccessibilityElement&) const = default;
};

// The elements of a placed tree in reading order (the order of the tree: top to bottom,
// leading to trailing in the stacks).
std::vector<AccessibilityElement> accessibilityTree(const PlacedNode& root);

const char* roleName(AccessibilityRole role);

}  // namespace halyard::ui
