#pragma once
// The seam between layout and text shaping: layout asks, the host's measurer answers.
// Real runs use the Pango measurer (platform/render); layout tests use a simple fake.

#include <optional>
#include <string>

#include "platform/ui/font.hpp"
#include "platform/ui/geometry.hpp"

namespace halyard::ui {

enum class TruncationMode { tail, middle, head };

// One piece of plain text (never markup) and how to set it.
struct TextSpec {
  std::string text;             // as displayed, after any localisation lookup
  Font font;                    // family traits: bold, equal-width digits
  double pointSize = 13;        // the size actually set: the style's size times any shrink
  double kerning = 0;           // extra letter spacing, points
  std::optional<int> lineLimit; // nullopt: as many lines as the width needs
  TruncationMode truncation = TruncationMode::tail;
  bool operator==(const TextSpec&) const = default;
};

struct TextMeasurement {
  Size size;                  // the box the set text occupies, points
  double firstBaseline = 0;   // from the box's top to the first line's baseline
  std::string displayedText;  // what is drawn: the text, or its cut form with an ellipsis
  bool truncated = false;     // displayedText differs from the text
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
