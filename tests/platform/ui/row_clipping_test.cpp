#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout_helpers.hpp"
#include "platform/ui/ui.hpp"

namespace halyard::ui {
namespace {

using testing::run;

View box(double width, double height) {
  return Rectangle().frame(width, height);
}

// Sections of rows inside a clipping stack: the section that does not fit whole shows its own
// leading rows; a section that cannot shrink is left out.
TEST(RowClipping, NestedSectionsGiveUpTheirOwnRows) {
  struct Case {
    double height;
    std::size_t sections;  // sections shown
    std::size_t lastRows;  // rows of the last section shown
  };
  // Section A: 3 rows of 10, spacing 2 (34). Section B: a fixed 30-high box. Section C: like A.
  // Outer spacing 10: A ends at 34, B at 74, C's rows end at 94, 106, 118.
  for (const Case& c : {Case{200, 3, 3}, Case{118, 3, 3}, Case{117, 3, 2}, Case{94, 3, 1},
                        Case{93, 2, 1}, Case{74, 2, 1}, Case{73, 1, 3}, Case{22, 1, 2}}) {
    SCOPED_TRACE(c.height);
    auto rows = [] {
      return RowClippingVStack(HorizontalAlignment::leading, 2,
                               {box(20, 10), box(20, 10), box(20, 10)});
    };
    const PlacedNode root =
        run(RowClippingVStack(HorizontalAlignment::leading, 10, {rows(), box(20, 30), rows()})
                .frame(FlexFrame{.maxHeight = infinity, .alignment = Alignment::top}),
            {20, c.height});
    const PlacedNode& outer = testing::at(root, {0});
    ASSERT_EQ(outer.children.size(), c.sections);
    const PlacedNode& last = outer.children.back();
    if (last.kind == "VStack") {
      EXPECT_EQ(last.children.size(), c.lastRows);
    }
    EXPECT_LE(outer.frame.height, c.height);
  }
}

// A list far longer than what fits: every row is built, only the leading rows that fit are
// laid out, and the whole tree goes away without trouble.
TEST(RowClipping, VeryLongListShowsWhatFits) {
  std::vector<int> numbers(100000);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    numbers[i] = static_cast<int>(i);
  const PlacedNode root = run(
      RowClippingVStack(HorizontalAlignment::leading, 0,
                        {ForEach(numbers,
                                 [](int n) {
                                   return HStack({Text(std::to_string(n)).font(Font::caption2()),
                                                  box(10, 12)})
                                       .padding(Edge::vertical, 1);
                                 })})
          .frame(FlexFrame{.maxHeight = infinity, .alignment = Alignment::top}),
      {100, 140});
  const PlacedNode& stack = testing::at(root, {0});
  ASSERT_EQ(stack.children.size(), 10U);  // rows of 14 points
  EXPECT_EQ(testing::at(stack, {9, 0, 0}).text->spec.text, "9");
}

}  // namespace
}  // namespace halyard::ui
