#pragma once
// Text shaping and measuring with Pango (HarfBuzz shaping, fontconfig fonts), and the layouts
// the renderer draws, built the same way so that text is drawn exactly as it was measured.

#include <mutex>
#include <optional>
#include <string>

#include "platform/render/c_handles.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::render {

// The font families asked for, in order; fontconfig's sans-serif covers what Inter lacks.
inline constexpr const char* kFontFamilies = "Inter,sans-serif";

// A Pango context that sets text in points: a Cairo font map at 72 dpi, absolute font sizes,
// unhinted metrics and unrounded glyph positions, so that a layout has the same extents at
// every drawing scale.
//
// Not thread-safe (Pango font maps are not): keep one per thread.
class TextContext {
 public:
  TextContext();
  TextContext(const TextContext&) = delete;
  TextContext& operator=(const TextContext&) = delete;

  // A layout of `spec` set within `width` (nullopt, infinity or NaN: unconstrained; negative:
  // zero). The text is set as plain text, never parsed as markup.
  //   - lineLimit 1: one paragraph, newlines included, cut with an ellipsis where
  //     spec.truncation says once wider than `width`;
  //   - lineLimit n > 1: wraps at `width`, at most n lines, the last one cut with an ellipsis;
  //   - no line limit: wraps at `width`, as many lines as needed.
  LayoutPtr createLayout(const ui::TextSpec& spec, std::optional<double> width) const;

  PangoContext* pangoContext() const { return context_.get(); }

 private:
  GObjectPtr<PangoFontMap> fontMap_;
  GObjectPtr<PangoContext> context_;
};

// The calling thread's own TextContext, made on first use.
TextContext& threadTextContext();

// Reads the measurement of a layout: its logical box, its first baseline, the text as drawn
// (with any ellipsis) and whether anything was cut. Text that was not valid UTF-8 is drawn,
// and reported, with U+FFFD in place of the bad bytes.
ui::TextMeasurement measureLayout(PangoLayout* layout);

// The text measurer of real runs.
//
// Sharing: one measurer may be used from several threads; calls are serialised by an internal
// lock. For parallel measuring give each thread its own measurer (each owns its font map).
class PangoTextMeasurer final : public ui::TextMeasurer {
 public:
  PangoTextMeasurer() = default;

  ui::TextMeasurement measure(const ui::TextSpec& spec,
                              std::optional<double> maxWidth) const override;

 private:
  mutable std::mutex mutex_;
  TextContext context_;
};

}  // namespace halyard::render
