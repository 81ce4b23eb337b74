// Frames, padding, geometry readers and the drawing modifiers.
#include <gtest/gtest.h>

#include <string>

#include "platform/ui/layout_helpers.hpp"
#include "platform/ui/ui.hpp"

namespace halyard::ui {
namespace {

using testing::ExpectedFrame;
using testing::expectFrames;
using testing::run;

View caption(std::string text) {
  return Text(std::move(text)).font(Font::caption2());
}

struct FrameCase {
  std::string name;
  View view;
  Size proposal;
  std::vector<ExpectedFrame> frames;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << c.name;
}

class ModifierLayout : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ModifierLayout, PlacesEveryNode) {
  const FrameCase& c = GetParam();
  expectFrames(run(c.view, c.proposal), c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModifierLayout,
    ::testing::Values(
        FrameCase{"FixedFrameAlignsContent",
                  caption("ab").frame(62, 20, Alignment::leading),
                  {300, 300},
                  {{{}, "Frame", {0, 0, 62, 20}}, {{0}, "Text", {0, 4, 10, 12}}}},
        FrameCase{"FixedFrameTrailing",
                  caption("ab").frame(FixedFrame{.width = 56, .alignment = Alignment::trailing}),
                  {300, 300},
                  {{{}, "Frame", {0, 0, 56, 12}}, {{0}, "Text", {46, 0, 10, 12}}}},
        // Only the width is fixed: the height of the proposal passes through to the shape.
        FrameCase{"FixedWidthOnly",
                  Capsule().frame(FixedFrame{.width = 30}),
                  {100, 50},
                  {{{}, "Frame", {0, 0, 30, 50}}, {{0}, "Capsule", {0, 0, 30, 50}}}},
        FrameCase{
            "MaxWidthInfinityTakesProposal",
            caption("ab").frame(FlexFrame{.maxWidth = infinity, .alignment = Alignment::leading}),
            {100, 100},
            {{{}, "Frame", {0, 0, 100, 12}}, {{0}, "Text", {0, 0, 10, 12}}}},
        FrameCase{"MaxHeightInfinityCentresContent",
                  Capsule().frame(FixedFrame{.height = 6}).frame(FlexFrame{.maxHeight = infinity}),
                  {80, 10},
                  {{{}, "Frame", {0, 0, 80, 10}}, {{0, 0}, "Capsule", {0, 2, 80, 6}}}},
        FrameCase{"MinWidthGrowsPastProposal",
                  caption("ab").frame(FlexFrame{.minWidth = 50}),
                  {30, 30},
                  {{{}, "Frame", {0, 0, 50, 12}}, {{0}, "Text", {20, 0, 10, 12}}}},
        // A maximum below the minimum is raised to it.
        FrameCase{"MaxBelowMinIsRaised",
                  Rectangle().frame(FlexFrame{.minWidth = 40, .maxWidth = 10}),
                  {100, 10},
                  {{{}, "Frame", {0, 0, 40, 10}}, {{0}, "Rectangle", {0, 0, 40, 10}}}},
        FrameCase{"VerticalPadding",
                  Rectangle().padding(Edge::vertical, 4),
                  {50, 50},
                  {{{}, "Padding", {0, 0, 50, 50}}, {{0}, "Rectangle", {0, 4, 50, 42}}}},
        FrameCase{"NegativePaddingIsNone",
                  Rectangle().padding(Edge::leading, -10),
                  {50, 50},
                  {{{0}, "Rectangle", {0, 0, 50, 50}}}},
        FrameCase{"PaddingLargerThanProposal",
                  Rectangle().padding(30),
                  {50, 50},
                  {{{}, "Padding", {0, 0, 60, 60}}, {{0}, "Rectangle", {30, 30, 0, 0}}}},
        // A provider bar row: two fixed text columns, the reader takes the rest.
        FrameCase{
            "GeometryReaderTakesWhatColumnsLeave",
            HStack(
                VerticalAlignment::center, 6,
                {caption("Local").frame(FixedFrame{.width = 62, .alignment = Alignment::leading}),
                 GeometryReader([](Size size) {
                   return Capsule().frame(size.width / 2, 6);
                 }).frame(FixedFrame{.height = 10}),
                 caption("1 KB").frame(FixedFrame{.width = 56, .alignment = Alignment::trailing})}),
            {300, 100},
            {{{}, "HStack", {0, 0, 300, 12}},
             {{0}, "Frame", {0, 0, 62, 12}},
             {{1}, "Frame", {68, 1, 170, 10}},
             {{1, 0}, "GeometryReader", {68, 1, 170, 10}},
             {{1, 0, 0}, "Frame", {68, 1, 85, 6}},
             {{2}, "Frame", {244, 0, 56, 12}},
             {{2, 0}, "Text", {280, 0, 20, 12}}}}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(GeometryReader, HandsItsSizeToContent) {
  Size seen;
  const PlacedNode root = run(GeometryReader([&seen](Size size) {
                                seen = size;
                                return EmptyView();
                              }),
                              {80, 10});
  EXPECT_EQ(seen, (Size{80, 10}));
  EXPECT_EQ(root.frame, (Rect{0, 0, 80, 10}));
  EXPECT_TRUE(root.children.empty());
}

TEST(Opacity, MultipliesAndClamps) {
  EXPECT_DOUBLE_EQ(run(Divider().opacity(0.5).opacity(0.5), {10, 10}).opacity, 0.25);
  EXPECT_DOUBLE_EQ(run(Divider().opacity(7), {10, 10}).opacity, 1);
  EXPECT_DOUBLE_EQ(run(Divider().opacity(-1), {10, 10}).opacity, 0);
  EXPECT_DOUBLE_EQ(
      run(Divider().opacity(std::numeric_limits<double>::quiet_NaN()), {10, 10}).opacity, 1);
}

TEST(Opacity, KeepsASpacerASpacer) {
  const PlacedNode root =
      run(HStack(VerticalAlignment::center, 0, {caption("ab"), Spacer().opacity(0.5)}), {100, 12});
  EXPECT_DOUBLE_EQ(testing::frameAt(root, {1}).width, 90);
}

TEST(Clipped, WrapsContentInAClippingNode) {
  const PlacedNode root = run(Rectangle().frame(20, 20).clipped(), {50, 50});
  EXPECT_EQ(root.kind, "Clip");
  EXPECT_TRUE(root.clips);
  EXPECT_EQ(root.frame, root.children.at(0).frame);
}

TEST(ContainerBackground, FillsTheWholeContainerBehindPaddedContent) {
  Environment env;
  env.appearance = Appearance::dark;
  const PlacedNode root =
      run(Rectangle().frame(100, 50).padding(16).containerBackground(StyleName::tertiaryFill),
          {364, 170}, env);
  EXPECT_EQ(root.kind, "ContainerBackground");
  EXPECT_EQ(root.frame, (Rect{0, 0, 364, 170}));
  ASSERT_TRUE(root.shape);
  EXPECT_EQ(root.shape->fill.style, StyleName::tertiaryFill);
  EXPECT_EQ(root.shape->fill.rgba, resolve(StyleName::tertiaryFill, Appearance::dark));
  EXPECT_EQ(testing::at(root, {0, 0}).frame, (Rect{132, 60, 100, 50}));
}

enum class TestFamily { small, medium, large };

TEST(EnvironmentReader, SeesTheHostsValues) {
  const View view = EnvironmentReader([](const Environment& env) {
    return env.widgetFamily<TestFamily>() == TestFamily::large ? Rectangle().frame(30, 30)
                                                               : Rectangle().frame(10, 10);
  });
  Environment env;
  env.setWidgetFamily(TestFamily::large);
  EXPECT_DOUBLE_EQ(run(view, {100, 100}, env).frame.width, 30);
  env.setWidgetFamily(TestFamily::medium);
  EXPECT_DOUBLE_EQ(run(view, {100, 100}, env).frame.width, 10);
}

TEST(EnvironmentReader, SeesModifiersAboveIt) {
  Font seen;
  const View view = EnvironmentReader([&seen](const Environment& env) {
                      seen = env.font;
                      return EmptyView();
                    }).font(Font::title().bold());
  run(view, {10, 10});
  EXPECT_EQ(seen, Font::title().bold());
}

}  // namespace
}  // namespace halyard::ui
