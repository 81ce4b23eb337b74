#pragma once
// Stacks: children side by side along an axis (VStack, HStack) or on top of each other
// (ZStack).
//
// Along its axis a stack subtracts the spacing between children from the length it is
// offered, then offers what remains to its children, least flexible first: each gets the
// remaining length divided by the number of children still waiting. A child's flexibility is
// its length for an unbounded offer minus its length for a zero offer. Spacers come last:
// they have their minimum length set aside while the others are offered room, and then share
// what the others left. Across its axis a stack offers its own proposal to every child, is as
// long as its longest child, and aligns each child as asked.
//
// Empty views are left out (no spacing on either side); groups are spliced in.

#include <optional>
#include <vector>

#include "platform/ui/alignment.hpp"
#include "platform/ui/view.hpp"

namespace halyard::ui {

// The gap between a stack's children when none is given, and a Spacer's default minimum.
inline constexpr double defaultSpacing = 8;

// Spacing: absent or NaN means defaultSpacing; negatives are zero.
View VStack(HorizontalAlignment alignment, std::optional<double> spacing,
            std::vector<View> children);
View VStack(HorizontalAlignment alignment, std::vector<View> children);
View VStack(std::vector<View> children);

View HStack(VerticalAlignment alignment, std::optional<double> spacing, std::vector<View> children);
View HStack(VerticalAlignment alignment, std::vector<View> children);
View HStack(std::vector<View> children);

// Later children are drawn in front of earlier ones; every child is offered the ZStack's own
// proposal and aligned inside the largest one.
View ZStack(Alignment alignment, std::vector<View> children);
View ZStack(std::vector<View> children);

// A VStack for lists that may not fit. Offered a finite height, it offers its rows, one by one,
// the height the rows before them left, and shows the leading rows that fit whole (with their
// spacing); the first row that does not fit and every row after it are left out, and never
// measured. A row that can give up rows of its own (a nested row-clipping stack) shows what
// fits of it, and counts as not fitting when none of its rows fits. A row marked
// keepWithNext() shows only together with the row after it, so a title never stands without
// its first row: when that row is left out (or there is none), so are the kept rows before
// it. Offered an unspecified or unbounded height it shows every row. In an enclosing VStack it
// is served after the other children (it is as flexible as can be) and before spacers, and is
// never asked about an unbounded height.
//
// The first `minimumRows` rows (all, when there are fewer) are always shown: when even they do
// not fit, the stack answers their size all the same, so that a row-clipping stack around it,
// however deep, sees that it does not fit and leaves out the whole row that holds it.
View RowClippingVStack(HorizontalAlignment alignment, std::optional<double> spacing,
                       std::vector<View> rows, std::size_t minimumRows = 0);

}  // namespace halyard::ui
