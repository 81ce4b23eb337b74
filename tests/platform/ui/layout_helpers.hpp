#pragma once
// Shared helpers for layout tests: run a layout with the fake measurer and look up nodes by
// their path of child indices.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ui/fake_measurer.hpp"
#include "platform/ui/layout.hpp"
#include "platform/ui/placed_node.hpp"

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

inline std::string pathName(const Path& path) {
  std::string name = "root";
  for (std::size_t index : path)
    name += "/" + std::to_string(index);
  return name;
}

inline bool near(const Rect& a, const Rect& b, double tolerance = 1e-6) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance &&
         std::abs(a.width - b.width) <= tolerance && std::abs(a.height - b.height) <= tolerance;
}

struct ExpectedFrame {
  Path path;
  std::string kind;
  Rect frame;
};

// Checks kind and relative frame of every listed node.
inline void expectFrames(const PlacedNode& root, const std::vector<ExpectedFrame>& expected) {
  for (const ExpectedFrame& e : expected) {
    SCOPED_TRACE(pathName(e.path));
    EXPECT_EQ(at(root, e.path).kind, e.kind);
    const Rect actual = frameAt(root, e.path);
    EXPECT_TRUE(near(actual, e.frame))
        << ::testing::PrintToString(actual) << " != " << ::testing::PrintToString(e.frame);
  }
}

// Every number in the tree is finite and every size non-negative.
inline void expectSane(const PlacedNode& node) {
  const Rect& f = node.frame;
  EXPECT_TRUE(std::isfinite(f.x) && std::isfinite(f.y) && std::isfinite(f.width) &&
              std::isfinite(f.height))
      << node.kind;
  EXPECT_GE(f.width, 0) << node.kind;
  EXPECT_GE(f.height, 0) << node.kind;
  if (node.sector) {
    EXPECT_TRUE(std::isfinite(node.sector->startAngle) && std::isfinite(node.sector->endAngle));
    EXPECT_LE(node.sector->startAngle, node.sector->endAngle);
  }
  for (const PlacedNode& child : node.children)
    expectSane(child);
}

}  // namespace testing
}  // namespace halyard::ui
