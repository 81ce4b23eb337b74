#pragma once
// Views made of other views without a layout of their own: empty views, groups, lists built
// from ranges and conditional content.

#include <functional>
#include <iterator>
#include <ranges>
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

// One view per element of `range`, in order, as a group.
template <class Range, class Fn>
View ForEach(const Range& range, Fn&& makeView) {
  std::vector<View> children;
  if constexpr (std::ranges::sized_range<const Range>) children.reserve(std::ranges::size(range));
  for (const auto& element : range)
    children.push_back(std::invoke(makeView, element));
  return Group(std::move(children));
}

// `view` when `condition` holds, otherwise nothing.
inline View If(bool condition, View view) {
  return condition ? std::move(view) : EmptyView();
}

// One of two subtrees.
inline View If(bool condition, View then, View otherwise) {
  return condition ? std::move(then) : std::move(otherwise);
}

}  // namespace halyard::ui
