#pragma once
// Draws a placed tree with Cairo: onto a window's context, or into a PNG, SVG or PDF image.
//
// The tree is in widget coordinates (points). An image is the widget's size in points times
// the scale: a PNG has that many pixels, an SVG or PDF page that many units. Text is set with
// the same Pango layout parameters the measurer used, so it is drawn exactly as measured.

#include <cairo.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/render/pango_text_measurer.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/placed_node.hpp"

namespace halyard::render {

struct RenderError {
  std::string path;    // the output file; empty for in-memory output
  std::string reason;  // what went wrong, e.g. "cannot create a file in /x: Permission denied"
  std::string message() const;  // "path: reason", or the reason alone
};

enum class ImageFormat { png, svg, pdf };

// The format that a file name asks for by its extension (.png, .svg, .pdf, in any case).
std::optional<ImageFormat> imageFormatForPath(std::string_view path);

// Draws `tree` onto `cr` at `scale` device units per point (on top of the context's own
// transform: a toolkit context already in points takes 1), over what is already there, and
// leaves the context's state as it was. Text is set with `text` (the calling thread's own
// context by default). Fails when the context is, or ends up, in an error state.
std::optional<RenderError> paint(cairo_t* cr, const ui::PlacedNode& tree, double scale);
std::optional<RenderError> paint(cairo_t* cr, const ui::PlacedNode& tree, double scale,
                                 const TextContext& text);

// Renders `tree` on a transparent image of `widgetSize` points times `scale` and returns the
// encoded file, its text set with `text` (pass the measurer's: its fonts are loaded). Fails for
// a non-positive or non-finite size or scale, or an image wider or taller than 32767
// pixels/units.
std::variant<std::string, RenderError> renderBytes(ImageFormat format, const ui::PlacedNode& tree,
                                                   ui::Size widgetSize, double scale,
                                                   const TextContext& text = threadTextContext());

// As renderBytes, written to `path` atomically: the image goes to a temporary file in the same
// folder which then replaces `path`, so a reader sees the old picture or the new one, never
// half of one. Nothing on success.
std::optional<RenderError> renderFile(ImageFormat format, const ui::PlacedNode& tree,
                                      ui::Size widgetSize, double scale, const std::string& path,
                                      const TextContext& text = threadTextContext());

inline std::optional<RenderError> renderPng(const ui::PlacedNode& tree, ui::Size widgetSize,
                                            double scale, const std::string& path) {
  return renderFile(ImageFormat::png, tree, widgetSize, scale, path);
}
inline std::optional<RenderError> renderSvg(const ui::PlacedNode& tree, ui::Size widgetSize,
                                            double scale, const std::string& path) {
  return renderFile(ImageFormat::svg, tree, widgetSize, scale, path);
}
inline std::optional<RenderError> renderPdf(const ui::PlacedNode& tree, ui::Size widgetSize,
                                            double scale, const std::string& path) {
  return renderFile(ImageFormat::pdf, tree, widgetSize, scale, path);
}

// Writes `bytes` to `path` through a temporary file in the same folder and a rename.
std::optional<RenderError> writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace halyard::render
