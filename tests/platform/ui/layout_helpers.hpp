#pragma once
// Shared helpers for layout tests: run a layout with the fake measurer, look up nodes by their
// path of child indices, and check tables of expected frames.

#include <gtest/gtest.h>

#include <cmath>
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

struct ExpectedFrame {
  Path path;
  std::string kind;
  Rect frame;  // relative to the root's top-leading corner
};

// A view, its proposal and the nodes it must place.
struct LayoutCase {
  std::string name;
  View view;
  Size proposal;
  std::vector<ExpectedFrame> frames;
};

inline void expectFrames(const LayoutCase& c) {
  const PlacedNode root = run(c.view, c.proposal);
  for (const ExpectedFrame& e : c.frames) {
    SCOPED_TRACE(c.name + " " + ::testing::PrintToString(e.path));
    const PlacedNode& node = at(root, e.path);
    EXPECT_EQ(node.kind, e.kind);
    EXPECT_NEAR(node.frame.x - root.frame.x, e.frame.x, 1e-6);
    EXPECT_NEAR(node.frame.y - root.frame.y, e.frame.y, 1e-6);
    EXPECT_NEAR(node.frame.width, e.frame.width, 1e-6);
    EXPECT_NEAR(node.frame.height, e.frame.height, 1e-6);
  }
}

// Every number in the tree is finite and every size non-negative.
inline void expectSane(const PlacedNode& node) {
  const Rect& f = node.frame;
  EXPECT_TRUE(std::isfinite(f.x) && std::isfinite(f.y) && std::isfinite(f.width) &&
              std::isfinite(f.height) && f.width >= 0 && f.height >= 0)
      << node.kind << " " << ::testing::PrintToString(f);
  if (node.sector) {
    EXPECT_TRUE(std::isfinite(node.sector->startAngle) && std::isfinite(node.sector->endAngle));
    EXPECT_LE(node.sector->startAngle, node.sector->endAngle);
  }
  for (const PlacedNode& child : node.children)
    expectSane(child);
}

}  // namespace testing
}  // namespace halyard::ui
