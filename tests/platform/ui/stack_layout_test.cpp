// Stacks, spacers, dividers, groups and row clipping, checked frame by frame.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/ui/layout_helpers.hpp"
#include "platform/ui/ui.hpp"

namespace halyard::ui {
namespace {

using testing::ExpectedFrame;
using testing::expectFrames;
using testing::run;

// caption2 in the fake measurer: 5 points per character, lines 12 tall, baseline at 9.
View caption(std::string text) {
  return Text(std::move(text)).font(Font::caption2());
}

View box(double width, double height) {
  return Rectangle().frame(width, height);
}

struct StackCase {
  std::string name;
  View view;
  Size proposal;
  std::vector<ExpectedFrame> frames;
};

void PrintTo(const StackCase& c, std::ostream* os) {
  *os << c.name;
}

class StackLayout : public ::testing::TestWithParam<StackCase> {};

TEST_P(StackLayout, PlacesEveryNode) {
  const StackCase& c = GetParam();
  expectFrames(run(c.view, c.proposal), c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StackLayout,
    ::testing::Values(
        // Flexibility: frame(maxWidth: 30) 30, text 50 - 5 = 45, rectangle unbounded. Each
        // gets the remaining width divided by the children still waiting.
        StackCase{"LeastFlexibleFirst",
                  HStack(VerticalAlignment::center, 0,
                         {Rectangle().frame(FlexFrame{.maxWidth = 30}),
                          caption("abcdefghij").lineLimit(1), Rectangle()}),
                  {90, 12},
                  {{{}, "HStack", {0, 0, 90, 12}},
                   {{0}, "Frame", {0, 0, 30, 12}},
                   {{1}, "Text", {30, 0, 30, 12}},
                   {{2}, "Rectangle", {60, 0, 30, 12}}}},
        // The spacer takes what the texts leave; it has no height across the axis.
        StackCase{"SpacerTakesFreeLength",
                  HStack(VerticalAlignment::center, 8, {caption("ab"), Spacer(), caption("cd")}),
                  {100, 30},
                  {{{}, "HStack", {0, 0, 100, 12}},
                   {{0}, "Text", {0, 0, 10, 12}},
                   {{1}, "Spacer", {18, 6, 64, 0}},
                   {{2}, "Text", {90, 0, 10, 12}}}},
        // A spacer only holds back its minimum: the text is offered 100 - 8 - 8 = 84.
        StackCase{"SpacerKeepsOnlyItsMinimumFromText",
                  HStack(VerticalAlignment::center, 8,
                         {caption("abcdefghijklmnopqrst").lineLimit(1), Spacer()}),
                  {100, 12},
                  {{{0}, "Text", {0, 0, 80, 12}}, {{1}, "Spacer", {88, 6, 12, 0}}}},
        StackCase{"SpacerMinimumWhenNoRoomIsLeft",
                  VStack(HorizontalAlignment::leading, 0, {box(10, 50), Spacer(5), box(10, 50)}),
                  {10, 60},
                  {{{}, "VStack", {0, 0, 10, 105}},
                   {{1}, "Spacer", {0, 50, 0, 5}},
                   {{2}, "Frame", {0, 55, 10, 50}}}},
        StackCase{"VStackLeading",
                  VStack(HorizontalAlignment::leading, 4, {box(40, 10), box(20, 10)}),
                  {100, 100},
                  {{{}, "VStack", {0, 0, 40, 24}},
                   {{0}, "Frame", {0, 0, 40, 10}},
                   {{1}, "Frame", {0, 14, 20, 10}}}},
        StackCase{"VStackCenter",
                  VStack(HorizontalAlignment::center, 4, {box(40, 10), box(20, 10)}),
                  {100, 100},
                  {{{1}, "Frame", {10, 14, 20, 10}}}},
        StackCase{"VStackTrailing",
                  VStack(HorizontalAlignment::trailing, 4, {box(40, 10), box(20, 10)}),
                  {100, 100},
                  {{{1}, "Frame", {20, 14, 20, 10}}}},
        StackCase{"HStackBottom",
                  HStack(VerticalAlignment::bottom, 2, {box(10, 30), box(10, 10)}),
                  {100, 100},
                  {{{1}, "Frame", {12, 20, 10, 10}}}},
        // Baselines: symbol 9.2, title2 text 15.3, rectangle none (bottom edge, 4). The
        // inner VStack's baseline is its first text's.
        StackCase{"FirstTextBaseline",
                  HStack(VerticalAlignment::firstTextBaseline, 10,
                         {Image("checkmark.circle.fill").font(Font::footnote()),
                          VStack(HorizontalAlignment::leading, 1,
                                 {Text("12").font(Font::title2()), caption("x")}),
                          box(4, 4)}),
                  {200, 100},
                  {{{}, "HStack", {0, 0, 51, 33.4}},
                   {{0}, "Image", {0, 6.1, 10, 10}},
                   {{1}, "VStack", {20, 0, 17, 33.4}},
                   {{1, 1}, "Text", {20, 21.4, 5, 12}},
                   {{2}, "Frame", {47, 11.3, 4, 4}}}},
        StackCase{"DividerSpansVStack",
                  VStack(HorizontalAlignment::leading, 0, {caption("ab"), Divider()}),
                  {50, 50},
                  {{{}, "VStack", {0, 0, 50, 13}}, {{1}, "Divider", {0, 12, 50, 1}}}},
        StackCase{"DividerStandsInHStack",
                  HStack(VerticalAlignment::center, 0, {box(10, 20), Divider()}),
                  {50, 20},
                  {{{1}, "Divider", {10, 0, 1, 20}}}},
        // Empty views and false conditions take no spacing; ForEach splices its rows in.
        StackCase{"EmptyAndGroups",
                  VStack(HorizontalAlignment::leading, 2,
                         {box(10, 10), If(false, box(99, 99)), EmptyView(),
                          ForEach(std::array{1, 2}, [](int n) { return box(10, 5.0 * n); })}),
                  {100, 100},
                  {{{}, "VStack", {0, 0, 10, 29}},
                   {{1}, "Frame", {0, 12, 10, 5}},
                   {{2}, "Frame", {0, 19, 10, 10}}}},
        StackCase{"ZStackBottomTrailing",
                  ZStack(Alignment::bottomTrailing, {box(40, 20), box(10, 10)}),
                  {100, 100},
                  {{{}, "ZStack", {0, 0, 40, 20}}, {{1}, "Frame", {30, 10, 10, 10}}}},
        // Header and footer keep their height; the rows get the rest and show whole rows.
        StackCase{"RowClippingBetweenHeaderAndFooter",
                  VStack(HorizontalAlignment::leading, 0,
                         {box(50, 20),
                          RowClippingVStack(HorizontalAlignment::leading, 0,
                                            {box(30, 10), box(30, 10), box(30, 10), box(30, 10),
                                             box(30, 10)}),
                          Spacer(0), box(50, 20)}),
                  {50, 75},
                  {{{1}, "VStack", {0, 20, 30, 30}},
                   {{1, 2}, "Frame", {0, 40, 30, 10}},
                   {{2}, "Spacer", {0, 50, 0, 5}},
                   {{3}, "Frame", {0, 55, 50, 20}}}}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(RowClipping, ShowsOnlyWholeRowsThatFit) {
  struct Case {
    double height;
    std::size_t rows;
    double takenHeight;
  };
  // Five rows of 10 with spacing 4: 10, 24, 38, 52, 66.
  for (const Case& c : {Case{100, 5, 66}, Case{66, 5, 66}, Case{65.9, 4, 52}, Case{40, 3, 38},
                        Case{9, 0, 0}, Case{0, 0, 0}, Case{infinity, 5, 66}}) {
    SCOPED_TRACE(c.height);
    std::vector<View> rows(5, box(20, 10));
    const PlacedNode root =
        run(RowClippingVStack(HorizontalAlignment::leading, 4, rows)
                .frame(FlexFrame{.maxHeight = infinity, .alignment = Alignment::top}),
            {20, c.height});
    const PlacedNode& stack = testing::at(root, {0});
    EXPECT_EQ(stack.children.size(), c.rows);
    EXPECT_DOUBLE_EQ(stack.frame.height, c.takenHeight);
  }
}

TEST(RowClipping, AllRowsWhenHeightIsUnspecified) {
  // An unbounded root proposal counts as unspecified.
  const PlacedNode root =
      run(RowClippingVStack(HorizontalAlignment::leading, 4, {box(20, 10), box(20, 10)}),
          {infinity, infinity});
  EXPECT_EQ(root.children.size(), 2U);
  EXPECT_DOUBLE_EQ(root.frame.height, 24);
}

// Layout remembers answers per node and context: one view shared by two stacks still takes
// each stack's shape.
TEST(Stacks, SharedViewAnswersForEachPlace) {
  const View line = Divider();
  const PlacedNode root =
      run(VStack(HorizontalAlignment::leading, 0,
                 {HStack(VerticalAlignment::top, 0, {box(10, 20), line}), line}),
          {50, 50});
  EXPECT_EQ(testing::frameAt(root, {0, 1}), (Rect{10, 0, 1, 49}));
  EXPECT_EQ(testing::frameAt(root, {1}), (Rect{0, 49, 50, 1}));
}

TEST(Spacer, OutsideAStackFillsTheProposal) {
  const PlacedNode root = run(Spacer(), {30, 40});
  EXPECT_EQ(root.frame, (Rect{0, 0, 30, 40}));
}

TEST(Stacks, EmptyStacksTakeNoRoom) {
  for (const View& view : {VStack({}), HStack({}), ZStack({}), Group({})}) {
    const PlacedNode root = run(view, {100, 100});
    EXPECT_EQ(root.frame, (Rect{50, 50, 0, 0}));
    EXPECT_TRUE(root.children.empty());
  }
}

TEST(Stacks, ModifierOnGroupAppliesToEachChild) {
  const PlacedNode root = run(VStack(HorizontalAlignment::leading, 0,
                                     {Group({box(10, 10), box(10, 10)}).padding(Edge::top, 5)}),
                              {100, 100});
  ASSERT_EQ(root.children.size(), 2U);
  EXPECT_EQ(root.children[0].kind, "Padding");
  EXPECT_DOUBLE_EQ(testing::frameAt(root, {1}).y, 15);
  EXPECT_DOUBLE_EQ(root.frame.height, 30);
}

// Groups inside groups, empty views among them and a group as a stack's only child all come
// out as the same flat list of children, in a stack and on their own.
TEST(Stacks, NestedGroupsFlattenInOrder) {
  const View nested = Group(
      {Group({box(10, 1), EmptyView(), box(10, 2)}), EmptyView(), Group({box(10, 3)}), box(10, 4)});
  const std::vector<View> layouts = {
      VStack(HorizontalAlignment::leading, 0, {nested}),
      VStack(HorizontalAlignment::leading, 0, {EmptyView(), nested, EmptyView()}),
      VStack(HorizontalAlignment::leading, 0, {Group({nested})}),
  };
  for (const View& view : layouts) {
    const PlacedNode root = run(view, {100, 100});
    ASSERT_EQ(root.children.size(), 4U);
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_DOUBLE_EQ(root.children[i].frame.height, static_cast<double>(i + 1));
    EXPECT_DOUBLE_EQ(root.frame.height, 10);
  }
  // On its own, a group is a VStack with the default spacing.
  const PlacedNode alone = run(nested, {100, 100});
  EXPECT_EQ(alone.kind, "VStack");
  ASSERT_EQ(alone.children.size(), 4U);
  EXPECT_DOUBLE_EQ(alone.frame.height, 10 + 3 * defaultSpacing);
  // A modifier on the nested group reaches every member.
  const PlacedNode padded =
      run(VStack(HorizontalAlignment::leading, 0, {nested.padding(Edge::top, 1)}), {100, 100});
  ASSERT_EQ(padded.children.size(), 4U);
  for (const PlacedNode& child : padded.children)
    EXPECT_EQ(child.kind, "Padding");
}

// Odd proposals and odd lengths end in a sane tree, never NaN, infinity or a hang.
TEST(Stacks, DegenerateInputsGiveSaneTrees) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const View tree =
      VStack(HorizontalAlignment::leading, nan,
             {HStack(VerticalAlignment::firstTextBaseline, -3,
                     {caption("abc"), Spacer(-1), Spacer(nan), Image("no.such.symbol")}),
              RowClippingVStack(HorizontalAlignment::center, infinity, {box(nan, -4), Divider()}),
              Rectangle().frame(FlexFrame{.minWidth = 50, .maxWidth = 10}).padding(Edge::all, nan),
              GeometryReader([](Size size) { return box(size.width * 2, size.height); }),
              Chart({{.angle = 1}, {.angle = nan}, {.angle = -infinity}}), Spacer()});
  for (Size proposal : {Size{0, 0}, Size{nan, nan}, Size{-5, -5}, Size{infinity, infinity},
                        Size{1, infinity}, Size{364, 170}}) {
    SCOPED_TRACE(::testing::PrintToString(proposal));
    testing::expectSane(run(tree, proposal));
  }
}

}  // namespace
}  // namespace halyard::ui
