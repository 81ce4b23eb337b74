#pragma once
// Path building shared by the renderer and the symbols. Each function adds a closed sub-path
// to the current path and draws nothing.

#include <cairo.h>

#include "platform/ui/geometry.hpp"
#include "platform/ui/placed_node.hpp"

namespace halyard::render {

// A rectangle whose corners are quarter circles of radius r (clamped to half the short side).
void addRoundedRect(cairo_t* cr, const ui::Rect& rect, double r);

// A rounded rectangle whose short sides are half circles.
void addCapsule(cairo_t* cr, const ui::Rect& rect);

// The largest circle centred in `rect`.
void addCircle(cairo_t* cr, const ui::Rect& rect);

// Whether the sector has finite values, a positive sweep and 0 <= inner < outer.
bool isDrawableSector(const ui::PlacedSector& sector);

// The ring sector, or the pie slice when the inner radius is 0. Sweeps of a full turn or more
// give the whole ring. Does nothing for a sector that isDrawableSector rejects.
void addSector(cairo_t* cr, const ui::PlacedSector& sector);

}  // namespace halyard::render
