// Layout of stacks, spacers, dividers, groups, frames, padding and the drawing modifiers, and
// row clipping.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <numeric>
#include <span>
#include <string>

#include "platform/ui/layout_helpers.hpp"

namespace halyard::ui {
namespace {

using namespace testing;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Layout, PlacesEveryNode) {
  const View line = Divider();
  for (const LayoutCase& c : std::vector<LayoutCase>{
           // Flexibility: frame(maxWidth: 30) 30, text 50 - 5 = 45, rectangle unbounded. Each
           // gets the remaining width divided by the children still waiting.
           {"LeastFlexibleFirst",
            HStack(VerticalAlignment::center, 0,
                   {Rectangle().frame(FlexFrame{.maxWidth = 30}),
                    caption("abcdefghij").lineLimit(1), Rectangle()}),
            {90, 12},
            {{{0}, "Frame", {0, 0, 30, 12}},
             {{1}, "Text", {30, 0, 30, 12}},
             {{2}, "Rectangle", {60, 0, 30, 12}}}},
           // A spacer only holds back its minimum: the text is offered 100 - 8 - 8 = 84. The
           // spacer takes what the text leaves and has no height across the axis.
           {"SpacerKeepsOnlyItsMinimumFromText",
            HStack(VerticalAlignment::center, 8,
                   {caption("abcdefghijklmnopqrst").lineLimit(1), Spacer()}),
            {100, 12},
            {{{0}, "Text", {0, 0, 80, 12}}, {{1}, "Spacer", {88, 6, 12, 0}}}},
           {"SpacerMinimumWhenNoRoomIsLeft",
            VStack(HorizontalAlignment::leading, 0, {box(10, 50), Spacer(5), box(10, 50)}),
            {10, 60},
            {{{1}, "Spacer", {0, 50, 0, 5}}, {{2}, "Frame", {0, 55, 10, 50}}}},
           // A translucent spacer is still a spacer: it gives way to a flexible view.
           {"SpacerWithOpacity",
            HStack(VerticalAlignment::center, 0, {Spacer().opacity(0.5), Rectangle()}),
            {100, 12},
            {{{0}, "Spacer", {0, 6, 8, 0}}, {{1}, "Rectangle", {8, 0, 92, 12}}}},
           {"SpacerAloneFillsTheProposal", Spacer(), {30, 40}, {{{}, "Spacer", {0, 0, 30, 40}}}},
           {"StackAlignments",
            HStack(VerticalAlignment::bottom, 0,
                   {VStack(HorizontalAlignment::leading, 4, {box(40, 10), box(20, 10)}),
                    VStack(HorizontalAlignment::center, 4, {box(40, 10), box(20, 10)}),
                    VStack(HorizontalAlignment::trailing, 4, {box(40, 10), box(20, 10)}),
                    box(10, 30)}),
            {200, 100},
            {{{0, 1}, "Frame", {0, 20, 20, 10}},
             {{1, 1}, "Frame", {50, 20, 20, 10}},
             {{2, 1}, "Frame", {100, 20, 20, 10}},
             {{3}, "Frame", {120, 0, 10, 30}}}},
           // Baselines: symbol 9.2, title2 text 15.3, rectangle none (bottom edge, 4). The
           // inner VStack's baseline is its first text's.
           {"FirstTextBaseline",
            HStack(VerticalAlignment::firstTextBaseline, 10,
                   {Image("checkmark.circle.fill").font(Font::footnote()),
                    VStack(HorizontalAlignment::leading, 1,
                           {Text("12").font(Font::title2()), caption("x")}),
                    box(4, 4)}),
            {200, 100},
            {{{0}, "Image", {0, 6.1, 10, 10}},
             {{1}, "VStack", {20, 0, 17, 33.4}},
             {{1, 1}, "Text", {20, 21.4, 5, 12}},
             {{2}, "Frame", {47, 11.3, 4, 4}}}},
           // Empty views and false conditions take no spacing; ForEach splices its rows in.
           {"EmptyAndGroups",
            VStack(HorizontalAlignment::leading, 2,
                   {box(10, 10), If(false, box(99, 99)), EmptyView(),
                    ForEach(std::array{1, 2}, [](int n) { return box(10, 5.0 * n); })}),
            {100, 100},
            {{{1}, "Frame", {0, 12, 10, 5}}, {{2}, "Frame", {0, 19, 10, 10}}}},
           // Header and footer keep their height; the rows get the rest and show whole rows.
           {"RowClippingBetweenHeaderAndFooter",
            VStack(HorizontalAlignment::leading, 0,
                   {box(50, 20),
                    RowClippingVStack(
                        HorizontalAlignment::leading, 0,
                        {box(30, 10), box(30, 10), box(30, 10), box(30, 10), box(30, 10)}),
                    Spacer(0), box(50, 20)}),
            {50, 75},
            {{{1}, "VStack", {0, 20, 30, 30}},
             {{1, 2}, "Frame", {0, 40, 30, 10}},
             {{2}, "Spacer", {0, 50, 0, 5}},
             {{3}, "Frame", {0, 55, 50, 20}}}},
           // An unbounded root proposal is unspecified: the root takes its own size.
           {"RowClippingUnbounded",
            RowClippingVStack(HorizontalAlignment::leading, 4, {box(20, 10), box(20, 10)}),
            {infinity, infinity},
            {{{}, "VStack", {0, 0, 20, 24}}, {{1}, "Frame", {0, 14, 20, 10}}}},
           {"MinWidthGrowsPastProposal",
            caption("ab").frame(FlexFrame{.minWidth = 50}),
            {30, 30},
            {{{}, "Frame", {0, 0, 50, 12}}, {{0}, "Text", {20, 0, 10, 12}}}},
           {"MaxBelowMinIsRaised",
            Rectangle().frame(FlexFrame{.minWidth = 40, .maxWidth = 10}),
            {100, 10},
            {{{}, "Frame", {0, 0, 40, 10}}, {{0}, "Rectangle", {0, 0, 40, 10}}}},
           {"NegativePaddingIsNone",
            Rectangle().padding(Edge::leading, -10),
            {50, 50},
            {{{0}, "Rectangle", {0, 0, 50, 50}}}},
           {"PaddingLargerThanProposal",
            Rectangle().padding(30),
            {50, 50},
            {{{}, "Padding", {0, 0, 60, 60}}, {{0}, "Rectangle", {30, 30, 0, 0}}}},
           // Layout remembers answers per node and context: one view shared by two stacks still
           // takes each stack's shape (a divider stands in an HStack and lies in a VStack).
           {"SharedDivider",
            VStack(HorizontalAlignment::leading, 0,
                   {HStack(VerticalAlignment::top, 0, {box(10, 20), line}), line}),
            {50, 50},
            {{{0, 1}, "Divider", {10, 0, 1, 49}}, {{1}, "Divider", {0, 49, 50, 1}}}},
           {"Clipped",
            box(20, 20).clipped(),
            {50, 50},
            {{{}, "Clip", {0, 0, 20, 20}}, {{0}, "Frame", {0, 0, 20, 20}}}},
       })
    expectFrames(c);
}

TEST(Stacks, EmptyStacksAndEmptyViewsTakeNoRoom) {
  for (const View& view : {VStack({}), HStack({}), ZStack({}), Group({}), EmptyView()}) {
    const PlacedNode root = run(view, {100, 100});
    EXPECT_EQ(root.frame, (Rect{50, 50, 0, 0}));
    EXPECT_TRUE(root.children.empty());
  }
}

// Groups inside groups, empty views among them and a group as a stack's only child all come
// out as the same flat list of children; a modifier on a group reaches every member; on its
// own, a group is a VStack with the default spacing.
TEST(Stacks, NestedGroupsFlattenInOrder) {
  const View nested = Group(
      {Group({box(10, 1), EmptyView(), box(10, 2)}), EmptyView(), Group({box(10, 3)}), box(10, 4)});
  const auto stack = [](View view) { return VStack(HorizontalAlignment::leading, 0, {view}); };
  struct Case {
    View view;
    double padding, spacing;
  };
  for (const Case& c :
       {Case{stack(nested), 0, 0},
        Case{VStack(HorizontalAlignment::leading, 0, {EmptyView(), nested}), 0, 0},
        Case{stack(Group({nested})), 0, 0}, Case{stack(nested.padding(Edge::top, 1)), 1, 0},
        Case{nested, 0, defaultSpacing}}) {
    const PlacedNode root = run(c.view, {100, 100});
    ASSERT_EQ(root.children.size(), 4U);
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_DOUBLE_EQ(root.children[i].frame.height, static_cast<double>(i + 1) + c.padding);
    EXPECT_DOUBLE_EQ(root.frame.height, 10 + 4 * c.padding + 3 * c.spacing);
  }
}

// Odd proposals and odd lengths end in a sane tree, never NaN, infinity or a hang.
TEST(Stacks, DegenerateInputsGiveSaneTrees) {
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
    SCOPED_TRACE(::testing::Message() << proposal.width << " x " << proposal.height);
    expectSane(run(tree, proposal));
  }
}

TEST(Modifiers, OpacityMultipliesAndClamps) {
  EXPECT_DOUBLE_EQ(run(Divider().opacity(0.5).opacity(0.5), {10, 10}).opacity, 0.25);
  EXPECT_DOUBLE_EQ(run(Divider().opacity(7), {10, 10}).opacity, 1);
  EXPECT_DOUBLE_EQ(run(Divider().opacity(-1), {10, 10}).opacity, 0);
  EXPECT_DOUBLE_EQ(run(Divider().opacity(nan), {10, 10}).opacity, 1);
}

// Rows that stay on top of a frame as high as the proposal.
View clipping(std::vector<View> rows, double spacing) {
  return RowClippingVStack(HorizontalAlignment::leading, spacing, std::move(rows))
      .frame(FlexFrame{.maxHeight = infinity, .alignment = Alignment::top});
}

// Only whole rows show. Sections of rows inside a clipping stack: the section that does not fit
// whole shows its own leading rows; a title kept with its section goes when not even the
// section's first row fits; a section that must show its first row beside something else goes
// whole instead of standing with none. An unbounded height is unspecified: everything shows.
TEST(RowClipping, SectionsGiveUpRowsAndTitlesGoWithTheirFirstRow) {
  struct Case {
    double height;
    std::size_t shown;     // outer rows shown
    std::size_t lastRows;  // rows of the last section shown, when it is a section
    double taken;
  };
  // Outer spacing 10: title 0-10; A (3 rows of 10, spacing 2) 20-54, rows ending at 30, 42, 54;
  // title 64-74; a 5-high box beside B (like A, first row required) at 84, B's rows ending at
  // 94, 106, 118.
  for (const Case& c :
       {Case{infinity, 4, 3, 118}, Case{200, 4, 3, 118}, Case{118, 4, 3, 118},
        Case{117.9, 4, 2, 106}, Case{94, 4, 1, 94}, Case{93, 2, 3, 54}, Case{74, 2, 3, 54},
        Case{53, 2, 2, 42}, Case{30, 2, 1, 30}, Case{29, 0, 0, 0}, Case{0, 0, 0, 0}}) {
    SCOPED_TRACE(c.height);
    const std::vector<View> three(3, box(20, 10));
    const PlacedNode root = run(
        clipping(
            {box(20, 10).keepWithNext(), RowClippingVStack(HorizontalAlignment::leading, 2, three),
             box(20, 10).keepWithNext(),
             HStack(VerticalAlignment::top, 0,
                    {box(5, 5), RowClippingVStack(HorizontalAlignment::leading, 2, three, 1)})},
            10),
        {20, c.height});
    const PlacedNode& outer = at(root, {0});
    EXPECT_DOUBLE_EQ(outer.frame.height, c.taken);
    ASSERT_EQ(outer.children.size(), c.shown);
    if (c.shown == 0) continue;
    const PlacedNode& last = outer.children.back();
    EXPECT_EQ((last.kind == "HStack" ? last.children.back() : last).children.size(), c.lastRows);
  }
}

// A list far longer than what fits: a row-clipping stack makes only the rows it shows and the
// first that does not fit, however the list is wrapped (a modifier on the whole list, a group
// around it, rows that are empty); a plain stack, or the list on its own, makes every row.
TEST(RowClipping, VeryLongListsMakeOnlyTheRowsShown) {
  std::vector<int> numbers(100000);
  std::iota(numbers.begin(), numbers.end(), 0);
  std::size_t made = 0;
  // Rows 14 points high for even numbers; odd numbers make no row.
  const auto row = [&made](int n) {
    ++made;
    return If(n % 2 == 0, HStack({caption(std::to_string(n)), box(1, 12)}));
  };
  const auto padded = [&row](int n) { return row(n).padding(Edge::vertical, 1); };
  struct Case {
    View view;
    double height;
    std::size_t shown;
  };
  for (const Case& c : {Case{clipping({ForEach(numbers, padded)}, 0), 140, 10},
                        Case{clipping({Group({box(20, 12).keepWithNext(),
                                              ForEach(numbers, row).padding(Edge::vertical, 1)})},
                                      0),
                             152, 11}}) {
    made = 0;
    const std::uint64_t before = forEachRowsMade();
    EXPECT_EQ(at(run(c.view, {20, c.height}), {0}).children.size(), c.shown);
    EXPECT_EQ(made, 21U);  // 0 to 19 shown or empty, 20 does not fit
    EXPECT_EQ(forEachRowsMade() - before, made);
  }
  const auto first50 = std::span(numbers).first(50);
  EXPECT_EQ(run(VStack({ForEach(first50, row)}), {20, 100}).children.size(), 25U);
  EXPECT_EQ(run(ForEach(first50.first(3), padded), {20, 100}).children.size(), 2U);
}

}  // namespace
}  // namespace halyard::ui
