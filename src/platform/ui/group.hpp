#pragma once
// Views made of other views without a layout of their own: empty views, groups, lists built
// from ranges and conditional content.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
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

// Ranges whose elements can be reached by index at any time, and so made into views later.
// (std::begin and std::size, not std::ranges: clang 14, which builds the fuzz targets, cannot
// compile libstdc++ 12's ranges::begin on ref_view and owning_view.)
template <class Range>
using IteratorOf = decltype(std::begin(std::declval<const Range&>()));

template <class Range>
concept IndexedRange = requires(const Range& range) {
  std::size(range);
}
&&std::is_base_of_v<std::random_access_iterator_tag,
                    typename std::iterator_traits<IteratorOf<Range>>::iterator_category>;

// The rows of an indexed range: `Stored` is the range itself (a temporary, moved in, or a view
// such as a span, copied) or a pointer to it (a range passed by name).
template <class Stored, class Fn>
class RangeRows final : public RowSource {
 public:
  RangeRows(Stored range, Fn makeView) : range_(std::move(range)), makeView_(std::move(makeView)) {}

  std::size_t size() const override { return static_cast<std::size_t>(std::size(range())); }
  View row(std::size_t index) const override {
    countRowMade();
    return std::invoke(makeView_, std::begin(range())[static_cast<std::ptrdiff_t>(index)]);
  }

 private:
  const auto& range() const {
    if constexpr (std::is_pointer_v<Stored>) {
      return *range_;
    } else {
      return range_;
    }
  }

  Stored range_;
  Fn makeView_;
};

}  // namespace detail

// One view per element of `range`, in order, as a group.
//
// Over a random-access range the views are made only when a stack asks for them: a
// row-clipping stack asks for the rows it shows (and the first that does not fit), in order,
// every other stack for all of them. A row may thus be made after ForEach has returned:
// `makeView` is kept with the group (so it captures by value what it needs), and so is
// `range` when it is a temporary or a view (a span); a container passed by name is referred
// to, and must live as long as the view does (a closure holding its owner keeps it).
template <class Range, class Fn>
View ForEach(Range&& range, Fn&& makeView) {
  using Plain = std::remove_cvref_t<Range>;
  if constexpr (detail::IndexedRange<Plain>) {
    using Stored =
        std::conditional_t<std::is_lvalue_reference_v<Range> && !std::ranges::enable_view<Plain>,
                           const Plain*, Plain>;
    auto stored = [&]() -> Stored {
      if constexpr (std::is_pointer_v<Stored>) {
        return &range;
      } else {
        return std::forward<Range>(range);
      }
    }();
    return detail::lazyGroup(std::make_shared<const detail::RangeRows<Stored, std::decay_t<Fn>>>(
        std::move(stored), std::forward<Fn>(makeView)));
  } else {
    std::vector<View> children;
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
