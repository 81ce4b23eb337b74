// Layout of stacks, spacers, groups, frames, padding, modifiers and row clipping.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <span>
#include <string>

#include "platform/ui/layout_helpers.hpp"

namespace halyard::ui {
namespace {

using namespace testing;

TEST(Layout, PlacesEveryNode) {
  struct Expected {
    Path path;
    std::string kind;
    Rect frame;  // relative to the root's top-leading corner
  };
  struct Case {
    std::string name;
    View view;
    Size proposal;
    std::vector<Expected> frames;
  };
  const View line = Divider();
  for (const Case& c : std::vector<Case>{
           {"SpacerMinimumWhenNoRoomIsLeft",
            VStack(HorizontalAlignment::leading, 0, {box(10, 50), Spacer(5), box(10, 50)}),
            {10, 60},
            {{{1}, "Spacer", {0, 50, 0, 5}}, {{2}, "Frame", {0, 55, 10, 50}}}},
           // A translucent spacer still gives way to a flexible view.
           {"SpacerWithOpacity",
            HStack(VerticalAlignment::center, 0, {Spacer().opacity(0.5), Rectangle()}),
            {100, 12},
            {{{0}, "Spacer", {0, 6, 8, 0}}, {{1}, "Rectangle", {8, 0, 92, 12}}}},
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
           // A stack's baseline is its first text's; a rectangle's is its bottom edge.
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
           // Answers were once remembered per node alone: a shared divider lay in both stacks.
           {"SharedDivider",
            VStack(HorizontalAlignment::leading, 0,
                   {HStack(VerticalAlignment::top, 0, {box(10, 20), line}), line}),
            {50, 50},
            {{{0, 1}, "Divider", {10, 0, 1, 49}}, {{1}, "Divider", {0, 49, 50, 1}}}},
           {"Clipped",
            box(20, 20).clipped(),
            {50, 50},
            {{{}, "Clip", {0, 0, 20, 20}}, {{0}, "Frame", {0, 0, 20, 20}}}},
       }) {
    const PlacedNode root = run(c.view, c.proposal);
    for (const Expected& e : c.frames) {
      SCOPED_TRACE(c.name + " " + ::testing::PrintToString(e.path));
      const PlacedNode& node = at(root, e.path);
      EXPECT_EQ(node.kind, e.kind);
      EXPECT_NEAR(node.frame.x - root.frame.x, e.frame.x, 1e-6);
      EXPECT_NEAR(node.frame.y - root.frame.y, e.frame.y, 1e-6);
      EXPECT_NEAR(node.frame.width, e.frame.width, 1e-6);
      EXPECT_NEAR(node.frame.height, e.frame.height, 1e-6);
    }
  }
}

TEST(Stacks, EmptyStacksAndEmptyViewsTakeNoRoom) {
  for (const View& view : {VStack({}), HStack({}), ZStack({}), Group({}), EmptyView()}) {
    const PlacedNode root = run(view, {100, 100});
    EXPECT_EQ(root.frame, (Rect{50, 50, 0, 0}));
    EXPECT_TRUE(root.children.empty());
  }
}

// A modifier on a group reaches every member; alone, a group is a VStack.
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

// Rows that stay on top of a frame as high as the proposal.
View clipping(std::vector<View> rows, double spacing) {
  return RowClippingVStack(HorizontalAlignment::leading, spacing, std::move(rows))
      .frame(FlexFrame{.maxHeight = infinity, .alignment = Alignment::top});
}

// A title goes with its section's first row; a section goes whole rather than lose a required row.
TEST(RowClipping, SectionsGiveUpRowsAndTitlesGoWithTheirFirstRow) {
  struct Case {
    double height;
    std::size_t shown;     // outer rows
    std::size_t lastRows;  // of the last section shown
    double taken;
  };
  // Rows of section A end at 30, 42, 54; B (first row required, beside a box) at 94, 106, 118.
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

// Only the rows shown and the first that does not fit are made, however the list is wrapped.
TEST(RowClipping, VeryLongListsMakeOnlyTheRowsShown) {
  std::vector<int> numbers(100000);
  std::iota(numbers.begin(), numbers.end(), 0);
  std::size_t made = 0;
  // Even numbers make rows 14 high, odd ones none.
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
