#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/ui/layout_helpers.hpp"
#include "platform/ui/placed_tree_json.hpp"

namespace halyard::ui {
namespace {

using namespace testing;

// Every edge is rounded on its own, so neighbours still touch; the baseline stays with the glyphs.
TEST(PixelGrid, RoundsEdgesAndKeepsNeighboursTouchingAndBaselinesInPlace) {
  const View row =
      HStack(VerticalAlignment::top, 0, {box(10.3, 5.3), box(10.3, 5.3), caption("ab")})
          .padding(Edge::leading, 0.1);
  for (double scale : {1.0, 3.0}) {
    SCOPED_TRACE(scale);
    PlacedNode root = run(row, {200, 100});
    const double baseline = at(root, {0, 2}).frame.y + at(root, {0, 2}).text->firstBaseline;
    roundToPixelGrid(root, scale);
    const PlacedNode& text = at(root, {0, 2});
    EXPECT_NEAR(text.frame.y + text.text->firstBaseline, baseline, 1e-9);
    double left = at(root, {0}).frame.x;
    for (const PlacedNode& child : at(root, {0}).children) {
      EXPECT_DOUBLE_EQ(child.frame.x, left);
      left = child.frame.maxX();
      EXPECT_NEAR(left * scale, std::round(left * scale), 1e-9);
      EXPECT_NEAR(child.frame.y * scale, std::round(child.frame.y * scale), 1e-9);
    }
  }
  PlacedNode root = run(box(10.3, 5.3), {20, 20});
  const Rect before = root.frame;
  for (double scale : {0.0, -2.0, infinity, std::numeric_limits<double>::quiet_NaN()}) {
    roundToPixelGrid(root, scale);
    EXPECT_EQ(root.frame, before);
  }
}

// Accessibility reads texts in full and skips unlabelled symbols, shapes and hidden views.
TEST(PlacedTreeJson, DescribesNodesAndTheAccessibilityTree) {
  const auto row = [](std::string name) {
    return HStack({caption(std::move(name)), Capsule().frame(10, 6), caption("5 GB")});
  };
  const PlacedNode root = run(
      VStack(HorizontalAlignment::leading, 2,
             {caption("abcdefghij").lineLimit(1).frame(30, 12), Image("externaldrive.fill"),
              Image("checkmark.circle.fill").accessibilityLabel("fine"),
              caption("TITLE").accessibilityLabel("Title").accessibilityHeading(),
              row("Local").accessibilityElement(AccessibilityChildBehavior::combine),
              row("Outer")
                  .accessibilityElement(AccessibilityChildBehavior::ignore)
                  .accessibilityLabel("replaced"),
              row("Group").accessibilityElement(AccessibilityChildBehavior::contain),
              caption("secret").accessibilityHidden(), Capsule().fill(StyleName::blue).frame(10, 6),
              Chart({{.angle = 1, .style = StyleName::yellow}}).frame(20, 20)}),
      {200, 200});
  const auto json = layoutJson(root);
  const auto& text = json["children"][0]["children"][0];
  EXPECT_EQ(json["frame"]["x"].dump(), "64.5");
  EXPECT_EQ(text["frame"]["width"].dump(), "30.0");  // whole numbers keep their point
  EXPECT_EQ(text["displayedText"], "abcde…");
  EXPECT_EQ(json["children"][1]["symbol"], "externaldrive.fill");
  const RGBA blue = resolve(StyleName::blue, Appearance::light);
  EXPECT_EQ(json["children"][8]["children"][0]["fill"]["rgba"],
            nlohmann::ordered_json({blue.r, blue.g, blue.b, blue.a}));
  const auto& sector = json["children"][9]["children"][0]["children"][0];
  EXPECT_EQ(sector["endAngle"], 360.0);
  EXPECT_EQ(sector["fill"]["name"], "yellow");
  auto it = text.begin();
  EXPECT_EQ(it.key(), "kind");
  EXPECT_EQ((++it).key(), "frame");
  EXPECT_EQ(std::prev(text.end()).key(), "children");

  const auto& tree = json["accessibilityTree"];
  std::vector<std::string> read;
  for (const auto& element : tree)
    read.push_back(element["role"].get<std::string>() + ":" + element["label"].get<std::string>());
  EXPECT_EQ(read, (std::vector<std::string>{"text:abcdefghij", "image:fine", "heading:Title",
                                            "text:Local, 5 GB", "text:replaced", "group:"}));
  EXPECT_EQ(tree[5]["children"].size(), 2u);
  EXPECT_EQ(tree[5]["children"][1]["label"], "5 GB");
  EXPECT_EQ(tree[0]["frame"], text["frame"]);
  EXPECT_EQ(json["children"][2]["accessibility"].dump(), R"({"label":"fine"})");
}

}  // namespace
}  // namespace halyard::ui
