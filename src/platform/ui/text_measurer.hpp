#pragma once
// The seam between layout and text shaping: layout asks, the host's measurer answers.
// Real runs use the Pango measurer (platform/render); layout tests use a simple fake.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "platform/ui/font.hpp"
#include "platform/ui/geometry.hpp"

namespace halyard::ui {

enum class TruncationMode { tail, middle, head };

// One piece of plain text (never markup) and how to set it.
struct TextSpec {
  std::string text;              // as displayed, after any localisation lookup
  Font font;                     // family traits: bold, equal-width digits
  double pointSize = 13;         // the size actually set: the style's size times any shrink
  double kerning = 0;            // extra letter spacing, points
  std::optional<int> lineLimit;  // nullopt: as many lines as the width needs
  TruncationMode truncation = TruncationMode::tail;
  bool operator==(const TextSpec&) const = default;
};

struct TextMeasurement {
  Size size;                  // the box the set text occupies, points
  double firstBaseline = 0;   // from the box's top to the first line's baseline
  std::string displayedText;  // what is drawn: the text, or its cut form with an ellipsis
  bool truncated = false;     // displayedText differs from the text
};

// One measuring request, as a key for remembering answers.
struct MeasureRequest {
  TextSpec spec;
  std::optional<double> maxWidth;
  bool operator==(const MeasureRequest&) const = default;
};

struct MeasureRequestHash {
  std::size_t operator()(const MeasureRequest& r) const {
    std::size_t h = std::hash<std::string>()(r.spec.text);
    const auto mix = [&h](std::size_t part) {
      h ^= part + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    };
    mix(static_cast<std::size_t>(r.spec.font.style) << 2 | std::size_t{r.spec.font.isBold} << 1 |
        std::size_t{r.spec.font.hasMonospacedDigits});
    mix(std::hash<double>()(r.spec.pointSize));
    mix(std::hash<double>()(r.spec.kerning));
    mix(static_cast<std::size_t>(r.spec.lineLimit.value_or(0)) << 2 |
        static_cast<std::size_t>(r.spec.truncation));
    mix(std::hash<double>()(r.maxWidth.value_or(-1)));
    return h;
  }
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;

  // Sets `spec` within `maxWidth` (nullopt or infinity: unconstrained). With a line limit of
  // 1 the text stays on one line (newlines do not break it) and, when wider than maxWidth, is
  // cut with an ellipsis where spec.truncation says. Without a line limit it wraps at
  // maxWidth. The answer never exceeds maxWidth unless a single ellipsis does.
  virtual TextMeasurement measure(const TextSpec& spec, std::optional<double> maxWidth) const = 0;
};

}  // namespace halyard::ui
