#pragma once
// The placed tree as JSON, for tests, golden files and the host's dump option. The format is
// described in docs/placed-tree.md.

#include <nlohmann/json.hpp>

#include "platform/ui/placed_node.hpp"

namespace halyard::ui {

nlohmann::ordered_json toJson(const PlacedNode& node);

}  // namespace halyard::ui
