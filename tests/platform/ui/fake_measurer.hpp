#pragma once
// A text measurer with arithmetic that tests can follow: every character (code point) is
// 0.5 × pointSize wide plus the kerning, a line is 1.2 × pointSize tall with its baseline at
// 0.9 × pointSize. Wrapping breaks anywhere; ellipses ("…") replace whole characters.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/ui/text_measurer.hpp"

namespace halyard::ui::testing {

class FakeMeasurer final : public TextMeasurer {
 public:
  static double charWidth(double pointSize, double kerning = 0) {
    return 0.5 * pointSize + kerning;
  }
  static double lineHeight(double pointSize) { return 1.2 * pointSize; }
  static double baseline(double pointSize) { return 0.9 * pointSize; }

  TextMeasurement measure(const TextSpec& spec, std::optional<double> maxWidth) const override {
    ++calls;
    const std::vector<std::string> chars = split(spec.text);
    const double width = charWidth(spec.pointSize, spec.kerning);
    const double line = lineHeight(spec.pointSize);
    const auto n = static_cast<double>(chars.size());
    TextMeasurement m;
    m.firstBaseline = baseline(spec.pointSize);
    m.displayedText = spec.text;
    const bool bounded = maxWidth && std::isfinite(*maxWidth);
    if (!bounded || n * width <= *maxWidth + 1e-9) {
      m.size = {n * width, line};
      return m;
    }
    const auto perLine =
        static_cast<std::size_t>(std::max(1.0, std::floor((*maxWidth + 1e-9) / width)));
    const std::size_t lines = (chars.size() + perLine - 1) / perLine;
    const std::size_t limit =
        spec.lineLimit ? static_cast<std::size_t>(std::max(1, *spec.lineLimit)) : lines;
    if (lines <= limit) {
      m.size = {static_cast<double>(perLine) * width, static_cast<double>(lines) * line};
      return m;
    }
    // Cut the last line that fits: keep as many characters as leave room for the ellipsis.
    const std::size_t room = static_cast<std::size_t>(std::floor((*maxWidth + 1e-9) / width));
    const std::size_t keep = (limit - 1) * perLine + (room > 0 ? room - 1 : 0);
    m.displayedText = cut(chars, keep, spec.truncation);
    m.truncated = true;
    const double lastLine = static_cast<double>(keep - (limit - 1) * perLine + 1) * width;
    m.size = {limit == 1 ? lastLine : static_cast<double>(perLine) * width,
              static_cast<double>(limit) * line};
    return m;
  }

  mutable int calls = 0;

 private:
  static std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      chars.push_back(text.substr(i, len));
      i += len;
    }
    return chars;
  }

  static std::string cut(const std::vector<std::string>& chars, std::size_t keep,
                         TruncationMode mode) {
    std::string out;
    auto append = [&](std::size_t from, std::size_t to) {
      for (std::size_t i = from; i < to; ++i)
        out += chars[i];
    };
    switch (mode) {
      case TruncationMode::tail:
        append(0, keep);
        out += "…";
        break;
      case TruncationMode::head:
        out += "…";
        append(chars.size() - keep, chars.size());
        break;
      case TruncationMode::middle: {
        const std::size_t front = (keep + 1) / 2;
        append(0, front);
        out += "…";
        append(chars.size() - (keep - front), chars.size());
        break;
      }
    }
    return out;
  }
};

}  // namespace halyard::ui::testing
