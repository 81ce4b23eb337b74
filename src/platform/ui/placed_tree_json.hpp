#pragma once
// The placed tree as JSON, for tests, golden files and the host's dump option. The format is
// described in docs/placed-tree.md.

#include <nlohmann/json.hpp>

#include "platform/ui/accessibility.hpp"
#include "platform/ui/placed_node.hpp"

namespace halyard::ui {

nlohmann::ordered_json toJson(const PlacedNode& node);

// [{"role": "text", "label": "...", "frame": {...}, "children": [...]}, ...]; "children" only
// for groups.
nlohmann::ordered_json toJson(const std::vector<AccessibilityElement>& elements);

// The root's JSON with its accessibility tree as the member "accessibilityTree".
nlohmann::ordered_json layoutJson(const PlacedNode& root);

}  // namespace halyard::ui
