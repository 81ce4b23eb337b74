#include "platform/render/pango_text_measurer.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace halyard::render {
namespace {

using ui::Font;
using ui::TextMeasurement;
using ui::TextSpec;
using ui::TruncationMode;

using namespace std::string_literals;

const std::string kEllipsis = "\u2026";

TextSpec styled(std::string text, Font font = Font::body(), std::optional<int> lineLimit = {},
                TruncationMode mode = TruncationMode::tail) {
  return {std::move(text), font, font.size(), 0, lineLimit, mode};
}
TextSpec oneLine(std::string text, TruncationMode mode = TruncationMode::tail) {
  return styled(std::move(text), Font::body(), 1, mode);
}
TextMeasurement measure(const TextSpec& s, std::optional<double> maxWidth = {}) {
  static const PangoTextMeasurer measurer;
  return measurer.measure(s, maxWidth);
}
double width(const TextSpec& s) {
  return measure(s).size.width;
}

TEST(PangoTextMeasurerTest, SizesAreAbsolutePointsAndFollowWeightDigitsAndKerning) {
  // Points, not 96 dpi pixels: a 13 pt line is a little over 13 points tall.
  const TextMeasurement m = measure(styled("Hola"));
  EXPECT_GT(m.size.height, 13.0);
  EXPECT_LT(m.size.height, 13.0 * 1.4);
  EXPECT_GT(m.firstBaseline, 0.6 * m.size.height);
  EXPECT_LT(m.firstBaseline, m.size.height);
  EXPECT_NEAR(width({"Hola", Font::body(), 26, 0, {}, TruncationMode::tail}), 2 * m.size.width,
              0.02 * m.size.width);
  EXPECT_LT(width(styled("1,27 TB")), width(styled("1,27 TB", Font::body().bold())));
  const Font tabular = Font::title2().bold().monospacedDigit();
  EXPECT_DOUBLE_EQ(width(styled("111", tabular)), width(styled("888", tabular)));
  EXPECT_LT(width(styled("111", Font::title2().bold())),
            width(styled("888", Font::title2().bold())));
  const TextSpec spaced{"abcd", Font::body(), 13, 2, {}, TruncationMode::tail};
  const double extra = width(spaced) - width(styled("abcd"));
  EXPECT_GE(extra, 2 * 3 - 0.01);  // at least between each pair of letters
  EXPECT_LE(extra, 2 * 4 + 0.01);
}

// Never markup; line breaks show as spaces, bad bytes as replacement characters.
TEST(PangoTextMeasurerTest, OneLineIsPlainTextWithBreaksAsSpacesAndBadBytesReplaced) {
  const TextMeasurement plain = measure(oneLine("a b"));
  const auto shows = [&](const std::string& text, const std::string& shown) {
    const TextMeasurement m = measure(oneLine(text));
    EXPECT_EQ(m.displayedText, shown);
    EXPECT_DOUBLE_EQ(m.size.height, plain.size.height) << text;
  };
  for (const std::string text : {"<b>x</b>", "a &amp; b", "<span size='40000'>big</span>"})
    shows(text, text);
  EXPECT_GT(width(styled("<b>x</b>")), 4 * width(styled("x", Font::body().bold())));
  for (const std::string broken :
       {"a\nb", "a\r\nb", "a\rb", "a\vb", "a\u0085b", "a\u2028b", "a\u2029b"}) {
    shows(broken, "a b");
    EXPECT_EQ(measure(oneLine(broken)).size, plain.size);
  }
  for (const std::string& bad : {"ab\xff-cd"s, "ab\0-cd"s})
    shows(bad, "ab\uFFFD-cd");
  // A bad byte is replaced before the cut.
  for (const std::string text : {"line one\nline two", "\xff-abcdefghijklmnopqrstuvwxyz"}) {
    const TextMeasurement cut = measure(oneLine(text), 45.0);
    EXPECT_DOUBLE_EQ(cut.size.height, plain.size.height);
    EXPECT_TRUE(cut.displayedText.ends_with(kEllipsis)) << cut.displayedText;
    EXPECT_EQ(cut.displayedText.starts_with("\uFFFD"), text.starts_with("\xff"));
  }
}

// The box is the shown string's own width (it once kept slack after the ellipsis).
TEST(PangoTextMeasurerTest, CutsWhereAskedOnlyWhatDoesNotFit) {
  const std::string text = "documents-archive-2024-with-a-rather-long-name";
  const double full = width(oneLine(text));
  struct Case {
    TruncationMode mode;
    double maxWidth;
  };
  for (const Case& c : {Case{TruncationMode::tail, 90}, Case{TruncationMode::middle, 90},
                        Case{TruncationMode::head, 90}, Case{TruncationMode::tail, 30.5},
                        Case{TruncationMode::middle, 150.25}, Case{TruncationMode::head, full + 1},
                        Case{TruncationMode::tail, std::numeric_limits<double>::infinity()},
                        Case{TruncationMode::middle, std::numeric_limits<double>::quiet_NaN()}}) {
    const TextMeasurement m = measure(oneLine(text, c.mode), c.maxWidth);
    const std::string& shown = m.displayedText;
    SCOPED_TRACE(shown);
    if (!(c.maxWidth < full)) {
      EXPECT_EQ(shown, text);
      EXPECT_FALSE(m.truncated);
      EXPECT_DOUBLE_EQ(m.size.width, full);
      continue;
    }
    EXPECT_TRUE(m.truncated);
    EXPECT_LE(m.size.width, c.maxWidth);
    const auto cut = shown.find(kEllipsis);
    ASSERT_NE(cut, std::string::npos);
    const std::string before = shown.substr(0, cut), after = shown.substr(cut + kEllipsis.size());
    EXPECT_TRUE(text.starts_with(before));
    EXPECT_TRUE(text.ends_with(after));
    EXPECT_EQ(before.empty(), c.mode == TruncationMode::head);
    EXPECT_EQ(after.empty(), c.mode == TruncationMode::tail);
    EXPECT_NEAR(width(oneLine(shown)), m.size.width, 0.01);
  }
  EXPECT_EQ(measure(oneLine(text), 0.0).displayedText, kEllipsis) << "nothing but the ellipsis";
  EXPECT_EQ(measure(oneLine(""), 50.0).size.width, 0.0);
}

TEST(PangoTextMeasurerTest, LineLimitsCountLinesAcrossNewlinesAndWrapping) {
  const double line = measure(oneLine("x")).size.height;
  const std::string words = "aaaa bbbb cccc dddd eeee ffff gggg hhhh";
  struct Case {
    std::string text;
    std::optional<double> maxWidth;
    std::string shownStart;
  };
  for (const Case& c : {Case{words, 60.0, "aaaa bbbb"}, Case{"a\nb\nc\nd", {}, "a\nb"}}) {
    const TextMeasurement m = measure(styled(c.text, Font::body(), 2), c.maxWidth);
    EXPECT_NEAR(m.size.height, 2 * line, 0.01) << c.text;
    EXPECT_LE(m.size.width, c.maxWidth.value_or(ui::infinity));
    EXPECT_TRUE(m.truncated);
    EXPECT_TRUE(m.displayedText.starts_with(c.shownStart)) << m.displayedText;
  }
}

}  // namespace
}  // namespace halyard::render
