#pragma once
// Text styles and fonts. Sizes are absolute points.

namespace halyard::ui {

enum class TextStyle { title, title2, body, footnote, caption2 };

// title 22, title2 17, body 13, footnote 10, caption2 10.
constexpr double pointSize(TextStyle style) {
  switch (style) {
    case TextStyle::title: return 22;
    case TextStyle::title2: return 17;
    case TextStyle::body: return 13;
    case TextStyle::footnote: return 10;
    case TextStyle::caption2: return 10;
  }
  return 13;
}

struct Font {
  TextStyle style = TextStyle::body;
  bool isBold = false;
  bool hasMonospacedDigits = false;  // equal-width digits (OpenType tnum)

  static constexpr Font title() { return {TextStyle::title}; }
  static constexpr Font title2() { return {TextStyle::title2}; }
  static constexpr Font body() { return {TextStyle::body}; }
  static constexpr Font footnote() { return {TextStyle::footnote}; }
  static constexpr Font caption2() { return {TextStyle::caption2}; }

  constexpr Font bold() const { return {style, true, hasMonospacedDigits}; }
  constexpr Font monospacedDigit() const { return {style, isBold, true}; }
  constexpr double size() const { return pointSize(style); }
  bool operator==(const Font&) const = default;
};

}  // namespace halyard::ui
