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
  TextMeasurement measure(const TextSpec& spec, std::optional<double> maxWidth) const override {
    // Where each character starts, then the end: continuation bytes start none.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < spec.text.size(); ++i)
      if ((static_cast<unsigned char>(spec.text[i]) & 0xC0) != 0x80) starts.push_back(i);
    const std::size_t count = starts.size();
    starts.push_back(spec.text.size());
    const auto join = [&](std::size_t from, std::size_t to) {
      return spec.text.substr(starts[from], starts[to] - starts[from]);
    };
    const double width = 0.5 * spec.pointSize + spec.kerning;
    const double line = 1.2 * spec.pointSize;
    const auto n = static_cast<double>(count);
    TextMeasurement m{.size = {n * width, line},
                      .firstBaseline = 0.9 * spec.pointSize,
                      .displayedText = spec.text};
    if (!maxWidth || !std::isfinite(*maxWidth) || n * width <= *maxWidth + 1e-9) return m;

    const auto perLine =
        static_cast<std::size_t>(std::max(1.0, std::floor((*maxWidth + 1e-9) / width)));
    const std::size_t lines = (count + perLine - 1) / perLine;
    const std::size_t limit =
        spec.lineLimit ? static_cast<std::size_t>(std::max(1, *spec.lineLimit)) : lines;
    if (lines <= limit) {
      m.size = {static_cast<double>(perLine) * width, static_cast<double>(lines) * line};
      return m;
    }
    // Cut the last line that fits: keep as many characters as leave room for the ellipsis.
    const auto room = static_cast<std::size_t>(std::floor((*maxWidth + 1e-9) / width));
    const std::size_t keep = (limit - 1) * perLine + (room > 0 ? room - 1 : 0);
    const std::size_t front = spec.truncation == TruncationMode::tail   ? keep
                              : spec.truncation == TruncationMode::head ? 0
                                                                        : (keep + 1) / 2;
    m.displayedText = join(0, front) + "…" + join(count - (keep - front), count);
    m.truncated = true;
    const double lastLine = static_cast<double>(keep - (limit - 1) * perLine + 1) * width;
    m.size = {limit == 1 ? lastLine : static_cast<double>(perLine) * width,
              static_cast<double>(limit) * line};
    return m;
  }
};

}  // namespace halyard::ui::testing
