// The placed tree: pixel-grid rounding, its JSON form, the palette, and a whole section.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/ui/layout_helpers.hpp"
#include "platform/ui/placed_tree_json.hpp"
#include "platform/ui/ui.hpp"

namespace halyard::ui {
namespace {

using testing::run;

bool onGrid(double value, double scale) {
  return std::abs(value * scale - std::round(value * scale)) < 1e-9;
}

void collectFrames(const PlacedNode& node, std::vector<Rect>& frames) {
  frames.push_back(node.frame);
  for (const PlacedNode& child : node.children)
    collectFrames(child, frames);
}

class PixelGrid : public ::testing::TestWithParam<double> {};

TEST_P(PixelGrid, RoundsEdgesAndKeepsNeighboursTouching) {
  const double scale = GetParam();
  // Three boxes of 10.3 points side by side: edges at 0.1, 10.4, 20.7, 31.
  PlacedNode root = run(HStack(VerticalAlignment::top, 0,
                               {Rectangle().frame(10.3, 5.3), Rectangle().frame(10.3, 5.3),
                                Text("ab").font(Font::caption2())})
                            .padding(Edge::leading, 0.1),
                        {200, 100});
  const double baselineBefore =
      testing::at(root, {0, 2}).frame.y + testing::at(root, {0, 2}).text->firstBaseline;
  roundToPixelGrid(root, scale);

  std::vector<Rect> frames;
  collectFrames(root, frames);
  for (const Rect& f : frames) {
    EXPECT_TRUE(onGrid(f.x, scale) && onGrid(f.y, scale) && onGrid(f.maxX(), scale) &&
                onGrid(f.maxY(), scale))
        << ::testing::PrintToString(f);
  }
  const PlacedNode& stack = testing::at(root, {0});
  EXPECT_DOUBLE_EQ(stack.children[0].frame.maxX(), stack.children[1].frame.x);
  EXPECT_DOUBLE_EQ(stack.children[1].frame.maxX(), stack.children[2].frame.x);
  const PlacedNode& text = testing::at(root, {0, 2});
  EXPECT_NEAR(text.frame.y + text.text->firstBaseline, baselineBefore, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Scales, PixelGrid, ::testing::Values(1.0, 2.0, 3.0));

TEST(PixelGrid, BadScaleLeavesTreeAlone) {
  PlacedNode root = run(Rectangle().frame(10.3, 5.3), {20, 20});
  const Rect before = root.frame;
  for (double scale : {0.0, -2.0, infinity, std::numeric_limits<double>::quiet_NaN()}) {
    roundToPixelGrid(root, scale);
    EXPECT_EQ(root.frame, before);
  }
}

TEST(PlacedTreeJson, DescribesEveryNode) {
  const PlacedNode root = run(
      HStack(
          VerticalAlignment::center, 4,
          {Text("abcdefghij").font(Font::caption2()).lineLimit(1).frame(30, 12),
           Capsule().fill(StyleName::blue).frame(10, 6),
           Image("checkmark.circle.fill").font(Font::footnote()).foregroundStyle(StyleName::green),
           Chart({{.angle = 1, .style = StyleName::yellow}}).frame(20, 20)}),
      {200, 40});
  const auto json = toJson(root);
  EXPECT_EQ(json["kind"], "HStack");
  EXPECT_EQ(json["frame"].dump(), R"({"x":59.0,"y":10.0,"width":82.0,"height":20.0})");

  const auto& text = json["children"][0]["children"][0];
  EXPECT_EQ(text["kind"], "Text");
  EXPECT_EQ(text["text"], "abcdefghij");
  EXPECT_EQ(text["displayedText"], "abcde…");
  EXPECT_EQ(text["lineLimit"], 1);
  EXPECT_EQ(text["color"]["name"], "primary");

  const auto& capsule = json["children"][1]["children"][0];
  EXPECT_EQ(capsule["kind"], "Capsule");
  const RGBA blue = resolve(StyleName::blue, Appearance::light);
  EXPECT_EQ(capsule["fill"]["name"], "blue");
  EXPECT_EQ(capsule["fill"]["rgba"], nlohmann::ordered_json({blue.r, blue.g, blue.b, blue.a}));
  EXPECT_TRUE(capsule["children"].empty());

  const auto& image = json["children"][2];
  EXPECT_EQ(image["symbol"], "checkmark.circle.fill");
  EXPECT_EQ(image["color"]["name"], "green");

  const auto& sector = json["children"][3]["children"][0]["children"][0];
  EXPECT_EQ(sector["kind"], "SectorMark");
  EXPECT_EQ(sector["value"], 1.0);
  EXPECT_EQ(sector["startAngle"], 0.0);
  EXPECT_EQ(sector["endAngle"], 360.0);
  EXPECT_EQ(sector["fill"]["name"], "yellow");

  // Member order is fixed: kind and frame first, children last.
  auto it = text.begin();
  EXPECT_EQ(it.key(), "kind");
  EXPECT_EQ((++it).key(), "frame");
  EXPECT_EQ(std::prev(text.end()).key(), "children");
}

TEST(Palette, HasDistinctNamesAndEmphasisLevels) {
  for (Appearance appearance : {Appearance::light, Appearance::dark}) {
    const RGBA primary = resolve(StyleName::primary, appearance);
    EXPECT_LT(resolve(StyleName::secondary, appearance).a, primary.a);
    EXPECT_LT(resolve(StyleName::hierarchicalTertiary, appearance).a,
              resolve(StyleName::hierarchicalSecondary, appearance).a);
    EXPECT_EQ(resolve(StyleName::tertiaryFill, appearance).a, 1);
    EXPECT_NE(resolve(StyleName::tertiaryFill, appearance),
              resolve(StyleName::windowBackground, appearance));
  }
  EXPECT_NE(resolve(StyleName::tertiaryFill, Appearance::light),
            resolve(StyleName::tertiaryFill, Appearance::dark));
  EXPECT_EQ(styleName(StyleName::hierarchicalTertiary), "tertiary");
  EXPECT_EQ(styleName(StyleName::secondary), "secondary");
}

// A whole section, as views will write it: a donut beside its legend, under a header row.
TEST(RepresentativeTree, HeaderAndDonutSection) {
  const auto legendRow = [](const std::string& label, const std::string& bytes) {
    return HStack(VerticalAlignment::center, 6,
                  {Circle().fill(StyleName::blue).frame(8, 8),
                   Text(label).font(Font::caption2()).lineLimit(1), Spacer(),
                   Text(bytes)
                       .font(Font::caption2().monospacedDigit())
                       .foregroundStyle(StyleName::secondary)});
  };
  const View view =
      VStack(
          HorizontalAlignment::leading, 10,
          {HStack(VerticalAlignment::firstTextBaseline, 10,
                  {Image("externaldrive.fill").font(Font::body()),
                   Text("1 GB").font(Font::title2().bold()), Spacer(),
                   Image("checkmark.circle.fill").font(Font::footnote())}),
           HStack(VerticalAlignment::center, 14,
                  {Chart({{.angle = 3, .innerRadius = 0.62, .angularInset = 1},
                          {.angle = 1, .innerRadius = 0.62, .angularInset = 1}})
                       .frame(78, 78),
                   VStack(HorizontalAlignment::leading, 4,
                          {legendRow("Local", "3 KB"), legendRow("Nube", "1 KB")})
                       .frame(FlexFrame{.maxWidth = infinity, .alignment = Alignment::leading})}),
           Spacer(0)})
          .padding(Edge::vertical, 4);
  const PlacedNode root = run(view, {332, 200});
  testing::expectSane(root);
  // Header: drive 16.9 × 11.7 (baseline 10.92), total 34 × 20.4 (baseline 15.3), check
  // 10 × 10 (baseline 9.2); all on the line at 15.3.
  testing::expectFrames(root, {{{}, "Padding", {0, 0, 332, 200}},
                               {{0}, "VStack", {0, 4, 332, 192}},
                               {{0, 0}, "HStack", {0, 4, 332, 20.4}},
                               {{0, 0, 0}, "Image", {0, 8.38, 16.9, 11.7}},
                               {{0, 0, 1}, "Text", {26.9, 4, 34, 20.4}},
                               {{0, 0, 2}, "Spacer", {70.9, 19.3, 241.1, 0}},
                               {{0, 0, 3}, "Image", {332 - 10, 10.1, 10, 10}},
                               {{0, 1}, "HStack", {0, 34.4, 332, 78}},
                               {{0, 1, 0}, "Frame", {0, 34.4, 78, 78}},
                               {{0, 1, 1}, "Frame", {92, 59.4, 240, 28}},
                               {{0, 1, 1, 0}, "VStack", {92, 59.4, 240, 28}},
                               {{0, 1, 1, 0, 0, 0}, "Frame", {92, 61.4, 8, 8}},
                               {{0, 1, 1, 0, 0, 1}, "Text", {106, 59.4, 25, 12}},
                               {{0, 1, 1, 0, 0, 3}, "Text", {312, 59.4, 20, 12}},
                               {{0, 1, 1, 0, 1}, "HStack", {92, 75.4, 240, 12}},
                               {{0, 2}, "Spacer", {0, 122.4, 0, 73.6}}});
}

}  // namespace
}  // namespace halyard::ui
