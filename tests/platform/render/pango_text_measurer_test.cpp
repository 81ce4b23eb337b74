#include "platform/render/pango_text_measurer.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace halyard::render {
namespace {

using ui::Font;
using ui::TextMeasurement;
using ui::TextSpec;
using ui::TruncationMode;

const std::string kEllipsis = "\u2026";

TextSpec spec(std::string text, Font font = Font::body(), std::optional<int> lineLimit = {},
              TruncationMode mode = TruncationMode::tail) {
  return {std::move(text), font, font.size(), 0, lineLimit, mode};
}
TextSpec oneLine(std::string text, TruncationMode mode = TruncationMode::tail) {
  return spec(std::move(text), Font::body(), 1, mode);
}
bool startsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}
bool endsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

class PangoTextMeasurerTest : public ::testing::Test {
 protected:
  TextMeasurement measure(const TextSpec& s, std::optional<double> maxWidth = {}) {
    return measurer.measure(s, maxWidth);
  }
  double width(const TextSpec& s) { return measure(s).size.width; }

  PangoTextMeasurer measurer;
};

TEST_F(PangoTextMeasurerTest, SizesAreAbsolutePoints) {
  const TextMeasurement m = measure(spec("Hola"));
  // A 13 pt line is a little over 13 points tall; at 96 dpi it would be a third more.
  EXPECT_GT(m.size.height, 13.0);
  EXPECT_LT(m.size.height, 13.0 * 1.4);
  EXPECT_GT(m.firstBaseline, 0.6 * m.size.height);
  EXPECT_LT(m.firstBaseline, m.size.height);
  EXPECT_EQ(m.displayedText, "Hola");

  TextSpec small = spec("Hola");
  small.pointSize = 10;
  TextSpec large = small;
  large.pointSize = 20;
  const TextMeasurement s = measure(small), l = measure(large);
  EXPECT_NEAR(l.size.height, 2 * s.size.height, 0.02 * s.size.height);
  EXPECT_NEAR(l.size.width, 2 * s.size.width, 0.02 * s.size.width);
}

TEST_F(PangoTextMeasurerTest, WidthFollowsTextWeightDigitsAndKerning) {
  EXPECT_LT(width(spec("backup")), width(spec("backups")));
  EXPECT_LT(width(spec("1,27 TB")), width(spec("1,27 TB", Font::body().bold())));
  // Equal-width digits make "1" as wide as "8"; the face's own digits are proportional.
  const Font tabular = Font::title2().bold().monospacedDigit();
  EXPECT_DOUBLE_EQ(width(spec("111", tabular)), width(spec("888", tabular)));
  EXPECT_LT(width(spec("111", Font::title2().bold())), width(spec("888", Font::title2().bold())));

  TextSpec spaced = spec("abcd");
  spaced.kerning = 2;
  const double extra = width(spaced) - width(spec("abcd"));
  EXPECT_GE(extra, 2 * 3 - 0.01);  // at least between each pair of letters
  EXPECT_LE(extra, 2 * 4 + 0.01);
}

TEST_F(PangoTextMeasurerTest, TextIsPlainNeverMarkup) {
  for (const std::string text : {"<b>x</b>", "a &amp; b", "<span size='40000'>big</span>"}) {
    const TextMeasurement m = measure(oneLine(text));
    EXPECT_EQ(m.displayedText, text);
    EXPECT_FALSE(m.truncated);
    EXPECT_LT(m.size.height, 13.0 * 1.4) << text;
  }
  // As markup it would be one bold "x"; as text the tags are set, in the regular weight.
  EXPECT_GT(width(spec("<b>x</b>")), 4 * width(spec("x", Font::body().bold())));
  EXPECT_LT(width(spec("<b>x</b>")), width(spec("<b>x</b>", Font::body().bold())));
}

TEST_F(PangoTextMeasurerTest, TruncatesWhereAskedWithinTheWidth) {
  const std::string text = "documents-archive-2024-with-a-rather-long-name";
  struct Case {
    TruncationMode mode;
    double maxWidth;
  };
  for (const Case& c : {Case{TruncationMode::tail, 90}, Case{TruncationMode::middle, 90},
                        Case{TruncationMode::head, 90}, Case{TruncationMode::tail, 30.5},
                        Case{TruncationMode::middle, 150.25}}) {
    const TextMeasurement m = measure(oneLine(text, c.mode), c.maxWidth);
    const std::string& shown = m.displayedText;
    SCOPED_TRACE(shown);
    EXPECT_TRUE(m.truncated);
    EXPECT_LE(m.size.width, c.maxWidth);
    const auto cut = shown.find(kEllipsis);
    ASSERT_NE(cut, std::string::npos);
    const std::string before = shown.substr(0, cut), after = shown.substr(cut + kEllipsis.size());
    EXPECT_TRUE(startsWith(text, before));
    EXPECT_TRUE(endsWith(text, after));
    EXPECT_EQ(before.empty(), c.mode == TruncationMode::head);
    EXPECT_EQ(after.empty(), c.mode == TruncationMode::tail);
    // The box is the shown string's own width: no slack after the ellipsis.
    EXPECT_NEAR(width(oneLine(shown)), m.size.width, 0.01);
  }
}

TEST_F(PangoTextMeasurerTest, FittingOrUnconstrainedTextIsNotCut) {
  const std::string text = "Sin backups programados";
  const double full = width(oneLine(text));
  for (const double maxWidth : {full + 1, std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()}) {
    const TextMeasurement m = measure(oneLine(text), maxWidth);
    EXPECT_EQ(m.displayedText, text);
    EXPECT_FALSE(m.truncated);
    EXPECT_DOUBLE_EQ(m.size.width, full);
  }
  EXPECT_EQ(measure(oneLine(text), 0.0).displayedText, kEllipsis) << "nothing but the ellipsis";
  EXPECT_EQ(measure(oneLine(""), 50.0).size.width, 0.0);
}

TEST_F(PangoTextMeasurerTest, LineLimitsCountLinesAcrossNewlinesAndWrapping) {
  const double line = measure(oneLine("x")).size.height;
  // On one line every kind of line break reads as a space, measured and drawn as one.
  for (const std::string broken :
       {"a\nb", "a\r\nb", "a\rb", "a\vb", "a\u0085b", "a\u2028b", "a\u2029b"}) {
    const TextMeasurement m = measure(oneLine(broken));
    EXPECT_EQ(m.displayedText, "a b");
    EXPECT_FALSE(m.truncated);
    EXPECT_DOUBLE_EQ(m.size.height, line);
    EXPECT_DOUBLE_EQ(m.size.width, width(oneLine("a b")));
  }
  const std::string twoLines = "line one\nline two";
  const TextMeasurement cut = measure(oneLine(twoLines), 45.0);
  EXPECT_DOUBLE_EQ(cut.size.height, line);
  EXPECT_TRUE(endsWith(cut.displayedText, kEllipsis)) << cut.displayedText;
  EXPECT_NEAR(measure(spec(twoLines)).size.height, 2 * line, 0.01) << "no limit: it breaks";

  const std::string words = "aaaa bbbb cccc dddd eeee ffff gggg hhhh";
  const TextMeasurement wrapped = measure(spec(words), 60.0);
  EXPECT_LE(wrapped.size.width, 60.0);
  EXPECT_GT(wrapped.size.height, 2.5 * line);
  EXPECT_EQ(wrapped.displayedText, words);

  struct Case {
    std::string text;
    std::optional<double> maxWidth;
    std::string shownStart;
  };
  for (const Case& c : {Case{words, 60.0, "aaaa bbbb"}, Case{"a\nb\nc\nd", {}, "a\nb"}}) {
    const TextMeasurement m = measure(spec(c.text, Font::body(), 2), c.maxWidth);
    EXPECT_NEAR(m.size.height, 2 * line, 0.01) << c.text;
    EXPECT_TRUE(m.truncated);
    EXPECT_TRUE(startsWith(m.displayedText, c.shownStart)) << m.displayedText;
  }
}

TEST_F(PangoTextMeasurerTest, BadBytesAreShownAsReplacementCharacters) {
  const std::string fffd = "\uFFFD";
  for (const std::string& text : {std::string("ab\xff"
                                              "cd"),
                                  std::string("ab\0cd", 5)}) {
    EXPECT_EQ(measure(oneLine(text)).displayedText, "ab" + fffd + "cd");
  }
  const TextMeasurement cut = measure(oneLine("\xff"
                                              "abcdefghijklmnopqrstuvwxyz"),
                                      40.0);
  EXPECT_TRUE(startsWith(cut.displayedText, fffd)) << cut.displayedText;
  EXPECT_TRUE(endsWith(cut.displayedText, kEllipsis)) << cut.displayedText;
}

}  // namespace
}  // namespace halyard::render
