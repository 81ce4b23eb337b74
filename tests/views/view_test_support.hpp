#pragma once
// Lays the entry view out as the host does and finds nodes in the placed tree.

#include <functional>
#include <string>
#include <vector>

#include "platform/host/widget_renderer.hpp"
#include "platform/ui/fake_measurer.hpp"
#include "snapshot/snapshot_file.hpp"
#include "test_support.hpp"
#include "views/halyard_widget_entry_view.hpp"

namespace halyard::testing {

// One of the examples, which must decode.
inline WidgetSnapshot example(const std::string& name = "full.json") {
  return loadSnapshot(sourcePath("examples/" + name)).value();
}

inline ui::PlacedNode layoutEntry(const WidgetSnapshot& snapshot, ui::WidgetFamily family,
                                  const ui::TextMeasurer* measurer = nullptr, double scale = 2) {
  static const ui::testing::FakeMeasurer fake;
  const HalyardWidgetEntry entry{*parseRfc3339("2026-03-14T10:00:00Z"), snapshot};
  return host::layoutWidget(
      HalyardWidgetEntryView(entry).body().containerBackground(ui::StyleName::tertiaryFill),
      {.family = family, .scale = scale, .textDomain = HalyardWidgetEntryView::kTextDomain},
      measurer ? *measurer : fake);
}

// Every node of `root`'s tree for which `match` holds, in drawing order.
inline std::vector<const ui::PlacedNode*> findAll(
    const ui::PlacedNode& root, const std::function<bool(const ui::PlacedNode&)>& match) {
  std::vector<const ui::PlacedNode*> found;
  std::function<void(const ui::PlacedNode&)> walk = [&](const ui::PlacedNode& node) {
    if (match(node)) found.push_back(&node);
    for (const auto& child : node.children)
      walk(child);
  };
  walk(root);
  return found;
}

inline std::vector<const ui::PlacedNode*> ofKind(const ui::PlacedNode& root,
                                                 const std::string& kind) {
  return findAll(root, [&](const ui::PlacedNode& node) { return node.kind == kind; });
}

// The texts as drawn, in order.
inline std::vector<std::string> texts(const ui::PlacedNode& root) {
  std::vector<std::string> out;
  for (const auto* node : ofKind(root, "Text"))
    out.push_back(node->text->displayedText);
  return out;
}

inline const ui::PlacedNode* textNode(const ui::PlacedNode& root, const std::string& text) {
  const auto found = findAll(
      root, [&](const ui::PlacedNode& node) { return node.text && node.text->spec.text == text; });
  return found.empty() ? nullptr : found.front();
}

// Capsules in order: the coloured bars, or their tracks.
inline std::vector<const ui::PlacedNode*> bars(const ui::PlacedNode& root, bool track = false) {
  return findAll(root, [track](const ui::PlacedNode& node) {
    return node.kind == "Capsule" &&
           (node.shape->fill.style == ui::StyleName::hierarchicalTertiary) == track;
  });
}

}  // namespace halyard::testing
