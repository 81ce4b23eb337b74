#pragma once
// The named symbols that views show with Image(systemName:): vector paths of our own, drawn
// into a rectangle and tinted with one colour. Knocked-out parts (the check in the filled
// circle, the drive's slot) are transparent, so the symbol works on any background.

#include <cairo.h>

#include <span>
#include <string_view>

#include "platform/ui/color.hpp"
#include "platform/ui/geometry.hpp"

namespace halyard::render {

// Whether `name` is one of the symbols below.
bool hasSymbol(std::string_view name);

// Every known symbol name, in a stable order.
std::span<const std::string_view> symbolNames();

// Draws symbol `name` as large as fits in `rect` (keeping its proportions, centred), in
// `color`; each drawing is proportioned like the box ui::symbolMetrics gives it. Unknown
// names, empty or non-finite rects draw nothing. Leaves the context's state as it was.
void drawSymbol(cairo_t* cr, std::string_view name, const ui::Rect& rect, const ui::RGBA& color);

}  // namespace halyard::render
