#pragma once
// Views made of other views without a layout of their own: empty views, groups, lists built
// from ranges and conditional content.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ranges>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/ui/view.hpp"

namespace halyard::ui {

// Takes no room; stacks leave it out (no spacing on either side).
View EmptyView();

// Several views as one child: a stack that holds a group holds the group's children in its
// place. Modifiers on a group apply to each of its children. Laid out anywhere else, a group
// is a centred VStack with the default spacing.
View Group(std::vector<View> children);

namespace detail {

// Views made one by one from the elements of a range, when they are asked for.
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual std::size_t size() const = 0;
  virtual View row(std::size_t index) const = 0;
};

// Counts one row that ForEach made (see forEachRowsMade).
void countRowMade();

// A group whose members are `rows`, made only when a stack asks for them.
View lazyGroup(std::shared_ptr<const RowSource> rows);

template <class Range, class Fn>
class RangeRows final : public RowSource {
 public:
  RangeRows(Range range, Fn makeView) : range_(std::move(range)), makeView_(std::move(makeView)) {}

  std::size_t size() const override { return static_cast<std::size_t>(std::ranges::size(range_)); }
  View row(std::size_t index) const override {
    countRowMade();
    return std::invoke(makeView_, std::ranges::begin(range_)[static_cast<Difference>(index)]);
  }

 private:
  using Difference = std::ranges::range_difference_t<const Range>;
  Range range_;
  Fn makeView_;
};

// Ranges whose elements can be reached by index at any time, and so made into views later.
template <class Range>
concept IndexedRange = std::ranges::viewable_range<Range> &&
    std::ranges::random_access_range<const std::views::all_t<Range>> &&
    std::ranges::sized_range<const std::views::all_t<Range>>;

}  // namespace detail

// One view per element of `range`, in order, as a group.
//
// Over a random-access range the views are made only when a stack asks for them: a
// row-clipping stack asks for the rows it shows (and the first that does not fit), in order,
// every other stack for all of them. A row may thus be made after ForEach has returned:
// `makeView` is kept with the group (so it captures by value what it needs), and so is
// `range` when it is a temporary; a range passed by name is referred to, and must live as
// long as the view does (a closure holding its owner keeps it).
template <class Range, class Fn>
View ForEach(Range&& range, Fn&& makeView) {
  if constexpr (detail::IndexedRange<Range>) {
    using Stored = std::views::all_t<Range>;
    return detail::lazyGroup(std::make_shared<const detail::RangeRows<Stored, std::decay_t<Fn>>>(
        std::views::all(std::forward<Range>(range)), std::forward<Fn>(makeView)));
  } else {
    std::vector<View> children;
    if constexpr (std::ranges::sized_range<Range>) children.reserve(std::ranges::size(range));
    for (const auto& element : range) {
      detail::countRowMade();
      children.push_back(std::invoke(makeView, element));
    }
    return Group(std::move(children));
  }
}

// How many rows ForEach has made in this process: for tests and benchmarks that check that a
// long list costs only the rows shown.
std::uint64_t forEachRowsMade();

// `view` when `condition` holds, otherwise nothing.
inline View If(bool condition, View view) {
  return condition ? std::move(view) : EmptyView();
}

// One of two subtrees.
inline View If(bool condition, View then, View otherwise) {
  return condition ? std::move(then) : std::move(otherwise);
}

}  // namespace halyard::ui
