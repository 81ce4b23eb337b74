#include <gtest/gtest.h>

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

}  // namespace
}  // namespace halyard::ui
