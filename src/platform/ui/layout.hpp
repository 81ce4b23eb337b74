#pragma once
// Layout: from a view to a tree of placed nodes.
//
// The contract, shared by every view:
//   1. A parent proposes a size to a child. Each dimension of a proposal is unspecified
//      ("your ideal size"), zero, a finite length or unbounded (infinity).
//   2. The child answers the size it takes. It may take more or less than proposed; the
//      parent has to live with the answer.
//   3. The parent places the child: it decides where the child's frame goes, and the child
//      then lays out its own children inside that frame the same way.
// A parent may ask a child several times with different proposals before placing it (stacks
// measure each child at a zero and an unbounded proposal to learn how flexible it is); a
// child answers the same proposal the same way every time.
//
// What each view does with a proposal is documented with its factory: stack.hpp, spacer.hpp,
// text.hpp, image.hpp, shapes.hpp, geometry_reader.hpp, chart.hpp and the modifiers in
// view.hpp.

#include "platform/ui/environment.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"
#include "platform/ui/view.hpp"

namespace halyard::ui {

// Lays `view` out for `proposal` (the container, e.g. the widget's size in points) and returns
// the placed tree in container coordinates. The root is centred in the container. NaN or
// negative dimensions of the proposal count as zero; unbounded ones as unspecified.
PlacedNode layout(const View& view, Size proposal, const Environment& environment,
                  const TextMeasurer& measurer);

// Moves every frame edge of the tree onto the pixel grid of `scale` pixels per point: each
// edge is rounded on its own, so frames that touch before rounding still touch after it.
// Text baselines keep their place relative to the glyphs. A scale that is not a positive
// finite number leaves the tree as it is.
void roundToPixelGrid(PlacedNode& root, double scale);

}  // namespace halyard::ui
