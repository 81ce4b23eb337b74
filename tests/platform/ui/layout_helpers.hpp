#pragma once
// Layout with the fake measurer, and nodes looked up by their path of child indices.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/ui/fake_measurer.hpp"
#include "platform/ui/layout.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/ui.hpp"

namespace halyard::ui {

inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{x " << r.x << ", y " << r.y << ", w " << r.width << ", h " << r.height << "}";
}

namespace testing {

using Path = std::vector<std::size_t>;

inline PlacedNode run(const View& view, Size proposal, const Environment& env = {}) {
  static const FakeMeasurer measurer;
  return layout(view, proposal, env, measurer);
}

// caption2 in the fake measurer: 5 points per character, lines 12 tall, baseline at 9.
inline View caption(std::string text) {
  return Text(std::move(text)).font(Font::caption2());
}

inline View box(double width, double height) {
  return Rectangle().frame(width, height);
}

// The node at `path` below `root`; a missing child throws, which fails the test.
inline const PlacedNode& at(const PlacedNode& root, const Path& path) {
  const PlacedNode* node = &root;
  for (std::size_t index : path)
    node = &node->children.at(index);
  return *node;
}

}  // namespace testing
}  // namespace halyard::ui
