#include "platform/render/pango_text_measurer.hpp"

#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

namespace halyard::render {
namespace {

constexpr std::string_view kEllipsis = "\u2026";

// Points to Pango units, rounded down so a set width never exceeds the asked one.
int toPangoUnitsFloor(double points) {
  const double units = std::floor(points * PANGO_SCALE);
  return static_cast<int>(std::clamp(units, 0.0, static_cast<double>(INT_MAX / 2)));
}

int toPangoUnits(double points) {
  const double units = std::round(points * PANGO_SCALE);
  return static_cast<int>(
      std::clamp(units, static_cast<double>(INT_MIN / 2), static_cast<double>(INT_MAX / 2)));
}

double toPoints(int units) {
  return static_cast<double>(units) / PANGO_SCALE;
}

PangoEllipsizeMode ellipsizeMode(ui::TruncationMode mode) {
  switch (mode) {
    case ui::TruncationMode::tail:
      return PANGO_ELLIPSIZE_END;
    case ui::TruncationMode::middle:
      return PANGO_ELLIPSIZE_MIDDLE;
    case ui::TruncationMode::head:
      return PANGO_ELLIPSIZE_START;
  }
  return PANGO_ELLIPSIZE_END;
}

std::optional<double> finiteWidth(std::optional<double> width) {
  if (!width || !std::isfinite(*width)) return std::nullopt;
  return std::max(0.0, *width);
}

FontDescriptionPtr fontDescription(const ui::TextSpec& spec) {
  FontDescriptionPtr desc(pango_font_description_new());
  pango_font_description_set_family(desc.get(), kFontFamilies);
  pango_font_description_set_weight(desc.get(),
                                    spec.font.isBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  const double size =
      std::isfinite(spec.pointSize) && spec.pointSize > 0 ? spec.pointSize : spec.font.size();
  // Absolute: device units, which are points in a 72 dpi context.
  pango_font_description_set_absolute_size(desc.get(), size * PANGO_SCALE);
  return desc;
}

AttrListPtr attributes(const ui::TextSpec& spec) {
  AttrListPtr list(pango_attr_list_new());
  if (spec.font.hasMonospacedDigits) {
    pango_attr_list_insert(list.get(), pango_attr_font_features_new("tnum 1"));
  }
  if (std::isfinite(spec.kerning) && spec.kerning != 0) {
    pango_attr_list_insert(list.get(), pango_attr_letter_spacing_new(toPangoUnits(spec.kerning)));
  }
  return list;
}

// Pango takes valid UTF-8 without NUL bytes: invalid bytes and NULs become U+FFFD, as they
// would be drawn anyway, so that the layout's text and its byte offsets are known exactly.
std::string drawableText(const std::string& text) {
  const auto length = static_cast<gssize>(std::min<std::size_t>(text.size(), INT_MAX / 2));
  if (g_utf8_validate(text.data(), length, nullptr)) return text.substr(0, length);
  gchar* repaired = g_utf8_make_valid(text.data(), length);
  std::string valid(repaired);
  g_free(repaired);
  return valid;
}

// A byte range of the layout's text that an ellipsis replaces, and the ellipsis drawn.
struct EllipsisRun {
  int start = 0;
  int end = 0;
  std::string_view glyphs;
};

}  // namespace

TextContext::TextContext()
    : fontMap_(pango_cairo_font_map_new()),
      context_(pango_font_map_create_context(fontMap_.get())) {
  // 72 dpi: one device unit is one point.
  pango_cairo_context_set_resolution(context_.get(), 72.0);
  // Metrics that do not depend on the device scale: no hinting, no rounding to whole units.
  CairoFontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context_.get(), options.get());
  pango_context_set_round_glyph_positions(context_.get(), FALSE);
  pango_context_set_base_dir(context_.get(), PANGO_DIRECTION_LTR);
}

LayoutPtr TextContext::createLayout(const ui::TextSpec& spec, std::optional<double> width) const {
  LayoutPtr layout(pango_layout_new(context_.get()));
  PangoLayout* l = layout.get();

  FontDescriptionPtr desc = fontDescription(spec);
  pango_layout_set_font_description(l, desc.get());
  AttrListPtr attrs = attributes(spec);
  pango_layout_set_attributes(l, attrs.get());
  pango_layout_set_alignment(l, PANGO_ALIGN_LEFT);
  pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
  const std::string text = drawableText(spec.text);
  pango_layout_set_text(l, text.data(), static_cast<int>(text.size()));

  const std::optional<double> setWidth = finiteWidth(width);
  const std::optional<int> limit =
      spec.lineLimit ? std::optional<int>(std::max(1, *spec.lineLimit)) : std::nullopt;

  if (limit == 1) pango_layout_set_single_paragraph_mode(l, TRUE);
  if (setWidth) pango_layout_set_width(l, toPangoUnitsFloor(*setWidth));
  if (limit) {
    // Ellipsizing needs a width; without one, only a multi-line limit can cut anything.
    if (!setWidth && *limit > 1) pango_layout_set_width(l, INT_MAX / 2);
    pango_layout_set_ellipsize(l, ellipsizeMode(spec.truncation));
    if (*limit > 1) pango_layout_set_height(l, -*limit);
  }
  // A negative height limits lines per paragraph; with several paragraphs, cap the total by
  // the height of the first `limit` lines instead.
  if (limit > 1 && pango_layout_get_line_count(l) > *limit) {
    PangoLayoutIter* iter = pango_layout_get_iter(l);
    for (int line = 1; line < *limit; ++line)
      pango_layout_iter_next_line(iter);
    PangoRectangle lineBox{};
    pango_layout_iter_get_line_extents(iter, nullptr, &lineBox);
    pango_layout_iter_free(iter);
    pango_layout_set_height(l, lineBox.y + lineBox.height);
  }
  return layout;
}

TextContext& threadTextContext() {
  thread_local TextContext context;
  return context;
}

ui::TextMeasurement measureLayout(PangoLayout* layout) {
  ui::TextMeasurement result;
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  result.size = {toPoints(logical.width), toPoints(logical.height)};
  result.firstBaseline = toPoints(pango_layout_get_baseline(layout) - logical.y);

  // The text that the lines show: up to the end of the last line, with every ellipsis run in
  // place of the text range it stands for. Pango marks those runs; their glyphs are "…", or
  // "..." with a font that lacks the ellipsis character.
  // Slices come from the layout's own text, which differs from the given text only where that
  // was not valid UTF-8.
  const std::string_view laid = pango_layout_get_text(layout);
  const int textLength = static_cast<int>(laid.size());
  int shownEnd = 0;
  std::vector<EllipsisRun> ellipses;
  for (GSList* l = pango_layout_get_lines_readonly(layout); l != nullptr; l = l->next) {
    const auto* line = static_cast<PangoLayoutLine*>(l->data);
    shownEnd = std::max(shownEnd, line->start_index + line->length);
    for (GSList* r = line->runs; r != nullptr; r = r->next) {
      const auto* run = static_cast<PangoGlyphItem*>(r->data);
      if (run == nullptr || run->item == nullptr) continue;
      const PangoItem* item = run->item;
      if ((item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) == 0) continue;
      const std::string_view glyphs =
          run->glyphs != nullptr && run->glyphs->num_glyphs == 3 ? "..." : kEllipsis;
      ellipses.push_back({item->offset, item->offset + item->length, glyphs});
      shownEnd = std::max(shownEnd, item->offset + item->length);
    }
  }
  shownEnd = std::clamp(shownEnd, 0, textLength);
  // A line limit may drop whole paragraphs; an empty text has no line end to find.
  if (ellipses.empty() && (shownEnd == textLength || laid.empty())) {
    result.displayedText = laid;
    return result;
  }
  std::sort(ellipses.begin(), ellipses.end(),
            [](const EllipsisRun& a, const EllipsisRun& b) { return a.start < b.start; });
  std::string shown;
  shown.reserve(laid.size() + 8);
  int cursor = 0;
  for (const EllipsisRun& e : ellipses) {
    const int start = std::clamp(e.start, cursor, shownEnd);
    shown.append(
        laid.substr(static_cast<std::size_t>(cursor), static_cast<std::size_t>(start - cursor)));
    shown.append(e.glyphs);
    cursor = std::clamp(e.end, start, shownEnd);
  }
  shown.append(
      laid.substr(static_cast<std::size_t>(cursor), static_cast<std::size_t>(shownEnd - cursor)));
  result.truncated = shown != laid;
  result.displayedText = std::move(shown);
  return result;
}

ui::TextMeasurement PangoTextMeasurer::measure(const ui::TextSpec& spec,
                                               std::optional<double> maxWidth) const {
  const std::lock_guard lock(mutex_);
  LayoutPtr layout = context_.createLayout(spec, maxWidth);
  return measureLayout(layout.get());
}

}  // namespace halyard::render
