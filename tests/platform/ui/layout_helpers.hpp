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

inline void PrintTo(const Size& s, std::ostream* os) {
  *os << "{w " << s.width << ", h " << s.height << "}";
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

// The node at `path` below `root`; fails the test and returns the root when there is none.
inline const PlacedNode& at(const PlacedNode& root, const Path& path) {
  const PlacedNode* node = &root;
  for (std::size_t index : path) {
    if (index >= node->children.size()) {
      ADD_FAILURE() << "no child " << index << " under " << node->kind;
      return root;
    }
    node = &node->children[index];
  }
  return *node;
}

// The frame at `path`, relative to the root's top-leading corner.
inline Rect frameAt(const PlacedNode& root, const Path& path) {
  Rect frame = at(root, path).frame;
  frame.x -= root.frame.x;
  frame.y -= root.frame.y;
  return frame;
}

struct ExpectedFrame {
  Path path;
  std::string kind;
  Rect frame;
};

// Checks kind and relative frame of every listed node.
inline void expectFrames(const PlacedNode& root, const std::vector<ExpectedFrame>& expected) {
  for (const ExpectedFrame& e : expected) {
    std::string name = "root";
    for (std::size_t index : e.path)
      name += "/" + std::to_string(index);
    SCOPED_TRACE(name);
    EXPECT_EQ(at(root, e.path).kind, e.kind);
    const Rect a = frameAt(root, e.path), b = e.frame;
    EXPECT_TRUE(std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 &&
                std::abs(a.width - b.width) < 1e-6 && std::abs(a.height - b.height) < 1e-6)
        << ::testing::PrintToString(a) << " != " << ::testing::PrintToString(b);
  }
}

// One row of a frame table: a view, its proposal and the nodes it must place.
struct LayoutCase {
  std::string name;
  View view;
  Size proposal;
  std::vector<ExpectedFrame> frames;
};

inline void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.name;
}

inline std::string caseName(const ::testing::TestParamInfo<LayoutCase>& info) {
  return info.param.name;
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
