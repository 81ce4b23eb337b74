#pragma once
// Text shaping and measuring with Pango (HarfBuzz shaping, fontconfig fonts), and the layouts
// the renderer draws, built the same way so that text is drawn exactly as it was measured.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/render/c_handles.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::render {

// The font families asked for, in order; fontconfig's sans-serif covers what Inter lacks.
inline constexpr const char* kFontFamilies = "Inter,sans-serif";

// A text as set: the layout that draws it, and what it measures (its logical box is the
// measured size; the renderer puts that box at the text's frame).
struct SetText {
  LayoutPtr layout;
  ui::TextMeasurement measurement;
};

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

  // `spec` set within `width` (nullopt, infinity or NaN: unconstrained; negative: zero), as
  // plain text, never parsed as markup:
  //   - lineLimit 1: one line, its line breaks shown as spaces, cut with an ellipsis where
  //     spec.truncation says once wider than `width`;
  //   - lineLimit n > 1: wraps at `width`, at most n lines, the last one cut with an ellipsis;
  //   - no line limit: wraps at `width`, as many lines as needed.
  // Text that was not valid UTF-8 is set, and reported, with U+FFFD in place of bad bytes.
  SetText set(const ui::TextSpec& spec, std::optional<double> width) const;

  PangoContext* pangoContext() const { return context_.get(); }

  // Why no text can be set at all (no font found); nothing when text can be set.
  std::optional<std::string> unusableReason() const;

 private:
  LayoutPtr plainLayout(const ui::TextSpec& spec, const std::string& text) const;

  GObjectPtr<PangoFontMap> fontMap_;
  GObjectPtr<PangoContext> context_;
};

// The calling thread's own TextContext, made on first use.
TextContext& threadTextContext();

// The folders fontconfig takes fonts and their caches from: what setting text may still need
// to read once the fonts in use are loaded (a fallback font for a script not seen before).
std::vector<std::string> fontFolders();

// The text measurer of real runs. It remembers its answers (up to kRemembered of them, then
// it starts afresh): a widget lays out the same texts again for every entry and size, and
// setting text is most of what layout costs.
//
// Sharing: one measurer may be used from several threads; calls are serialised by an internal
// lock. For parallel measuring give each thread its own measurer (each owns its font map).
class PangoTextMeasurer final : public ui::TextMeasurer {
 public:
  static constexpr std::size_t kRemembered = 4096;

  PangoTextMeasurer() = default;

  ui::TextMeasurement measure(const ui::TextSpec& spec,
                              std::optional<double> maxWidth) const override;

  // The context this measurer sets text with, for drawing what it measured with the fonts it
  // has already loaded. Only on a thread that uses the measurer, while no other does.
  const TextContext& textContext() const { return context_; }

 private:
  ui::TextMeasurement remembered(ui::MeasureRequest request) const;  // with mutex_ held

  mutable std::mutex mutex_;
  TextContext context_;
  mutable std::unordered_map<ui::MeasureRequest, ui::TextMeasurement, ui::MeasureRequestHash>
      answers_;
};

}  // namespace halyard::render
