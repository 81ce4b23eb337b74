#include "platform/render/pango_text_measurer.hpp"

#include <fontconfig/fontconfig.h>
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

// Text kept on one line shows its line breaks as spaces: Pango would draw a paragraph break
// in single-paragraph mode as a return symbol, and break the line at the others. Handles
// every mandatory break (LF, CR, CR LF, VT, FF, NEL, U+2028, U+2029) in valid UTF-8.
std::string joinLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::string_view rest = text.substr(i);
    std::size_t breakLength = 0;
    if (rest.starts_with("\r\n") || rest.starts_with("\u0085")) {
      breakLength = 2;
    } else if (rest.starts_with("\u2028") || rest.starts_with("\u2029")) {
      breakLength = 3;
    } else if (std::string_view("\n\r\v\f").find(rest[0]) != std::string_view::npos) {
      breakLength = 1;
    }
    out += breakLength > 0 ? ' ' : rest[0];
    i += std::max<std::size_t>(breakLength, 1);
  }
  return out;
}

// A byte range of the layout's text that an ellipsis replaces, and the ellipsis drawn.
struct EllipsisRun {
  int start = 0;
  int end = 0;
  std::string_view glyphs;
};

// Reads the measurement of a layout: its logical box, its first baseline, the text as drawn
// (with any ellipsis) and whether anything was cut.
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

}  // namespace

TextContext::TextContext()
    : fontMap_(pango_cairo_font_map_new()),
      context_(pango_font_map_create_context(fontMap_.get())) {
  // 72 dpi: one device unit is one point. The font map too: Pango measures a font's metrics
  // in a context of its own at the map's resolution, and a second resolution would resolve
  // every font description twice (a fontconfig match and sort, two threads each).
  pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap_.get()), 72.0);
  pango_cairo_context_set_resolution(context_.get(), 72.0);
  // Metrics that do not depend on the device scale: no hinting, no rounding to whole units.
  CairoFontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context_.get(), options.get());
  pango_context_set_round_glyph_positions(context_.get(), FALSE);
  pango_context_set_base_dir(context_.get(), PANGO_DIRECTION_LTR);
  // The C and POSIX locales name no language ("c"): Pango then gives Latin text "en" but
  // looks up a layout's own metrics under "c", which resolves every font description twice.
  PangoLanguage* language = pango_context_get_language(context_.get());
  if (language == nullptr) language = pango_language_get_default();
  if (pango_language_matches(language, "c;posix"))
    pango_context_set_language(context_.get(), pango_language_from_string("en"));
}

// A layout of `text` in the TextSpec's font and attributes, unconstrained.
LayoutPtr TextContext::plainLayout(const ui::TextSpec& spec, const std::string& text) const {
  LayoutPtr layout(pango_layout_new(context_.get()));
  PangoLayout* l = layout.get();
  FontDescriptionPtr desc = fontDescription(spec);
  pango_layout_set_font_description(l, desc.get());
  AttrListPtr attrs = attributes(spec);
  pango_layout_set_attributes(l, attrs.get());
  pango_layout_set_alignment(l, PANGO_ALIGN_LEFT);
  pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_text(l, text.data(), static_cast<int>(text.size()));
  return layout;
}

SetText TextContext::set(const ui::TextSpec& spec, std::optional<double> width) const {
  const std::optional<double> setWidth = finiteWidth(width);
  const int limit = spec.lineLimit ? std::max(1, *spec.lineLimit) : 0;  // 0: no limit
  const std::string text =
      limit == 1 ? joinLines(drawableText(spec.text)) : drawableText(spec.text);
  LayoutPtr layout = plainLayout(spec, text);
  PangoLayout* l = layout.get();

  if (setWidth) pango_layout_set_width(l, toPangoUnitsFloor(*setWidth));
  if (limit > 0) {
    // Ellipsizing needs a width; without one, only a multi-line limit can cut anything.
    if (!setWidth && limit > 1) pango_layout_set_width(l, INT_MAX / 2);
    pango_layout_set_ellipsize(l, ellipsizeMode(spec.truncation));
    if (limit > 1) pango_layout_set_height(l, -limit);
  }
  // A negative height limits lines per paragraph; with several paragraphs, cap the total by
  // the height of the first `limit` lines instead.
  if (limit > 1 && pango_layout_get_line_count(l) > limit) {
    PangoLayoutIter* iter = pango_layout_get_iter(l);
    for (int line = 1; line < limit; ++line)
      pango_layout_iter_next_line(iter);
    PangoRectangle lineBox{};
    pango_layout_iter_get_line_extents(iter, nullptr, &lineBox);
    pango_layout_iter_free(iter);
    pango_layout_set_height(l, lineBox.y + lineBox.height);
  }
  ui::TextMeasurement measurement = measureLayout(l);

  // Pango widens a line's ellipsis to fill the set width, which leaves a gap after it (in the
  // middle of a middle-cut text, or past the end where the text is aligned trailing). A cut
  // line is therefore set again as the plain text it shows, at its natural width, unless
  // shaping it whole makes it wider.
  if (limit == 1 && measurement.truncated) {
    LayoutPtr shown = plainLayout(spec, measurement.displayedText);
    ui::TextMeasurement plain = measureLayout(shown.get());
    if (plain.size.width <= measurement.size.width) {
      plain.truncated = true;
      return {std::move(shown), std::move(plain)};
    }
  }
  return {std::move(layout), std::move(measurement)};
}

std::optional<std::string> TextContext::unusableReason() const {
  // Digits are in every font: a context that cannot set them has no font at all. Set in the
  // fine print's size, which the widgets use anyway: each size is a font set to resolve.
  ui::TextSpec digit;
  digit.text = "0";
  digit.font = ui::Font::caption2();
  digit.pointSize = digit.font.size();
  const LayoutPtr layout = plainLayout(digit, digit.text);
  PangoRectangle logical{};
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  if (pango_layout_get_unknown_glyphs_count(layout.get()) == 0 && logical.height > 0 &&
      logical.y > -logical.height && logical.y < logical.height)
    return std::nullopt;
  return "no usable font: text cannot be set (fontconfig finds no font for " +
         std::string(kFontFamilies) + "; install one, such as fonts-inter)";
}

std::vector<std::string> fontFolders() {
  std::vector<std::string> folders;
  FcConfig* config = FcConfigGetCurrent();
  for (FcStrList* list : {FcConfigGetFontDirs(config), FcConfigGetCacheDirs(config)}) {
    if (list == nullptr) continue;
    while (const FcChar8* folder = FcStrListNext(list))
      folders.emplace_back(reinterpret_cast<const char*>(folder));
    FcStrListDone(list);
  }
  return folders;
}

TextContext& threadTextContext() {
  thread_local TextContext context;
  return context;
}

ui::TextMeasurement PangoTextMeasurer::measure(const ui::TextSpec& spec,
                                               std::optional<double> maxWidth) const {
  const std::lock_guard lock(mutex_);
  // Text that fits a width is set there exactly as without one: stacks ask about zero, the
  // offered and unbounded widths, and only the narrower ones need a layout of their own.
  const ui::TextMeasurement natural = remembered({spec, std::nullopt});
  const std::optional<double> width = finiteWidth(maxWidth);
  if (!width || natural.size.width <= *width) return natural;
  return remembered({spec, width});
}

ui::TextMeasurement PangoTextMeasurer::remembered(ui::MeasureRequest request) const {
  if (auto found = answers_.find(request); found != answers_.end()) return found->second;
  if (answers_.size() >= kRemembered) answers_.clear();
  ui::TextMeasurement answer = context_.set(request.spec, request.maxWidth).measurement;
  answers_.emplace(std::move(request), answer);
  return answer;
}

}  // namespace halyard::render
