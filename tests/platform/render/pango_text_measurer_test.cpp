#include "platform/render/pango_text_measurer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace halyard::render {
namespace {

using ui::Font;
using ui::TextMeasurement;
using ui::TextSpec;
using ui::TruncationMode;

constexpr std::string_view kEllipsis = "\u2026";

TextSpec spec(std::string text, Font font = Font::body()) {
  TextSpec s;
  s.text = std::move(text);
  s.font = font;
  s.pointSize = font.size();
  return s;
}

TextSpec oneLine(std::string text, TruncationMode mode = TruncationMode::tail) {
  TextSpec s = spec(std::move(text));
  s.lineLimit = 1;
  s.truncation = mode;
  return s;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}
bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

class PangoTextMeasurerTest : public ::testing::Test {
 protected:
  TextMeasurement measure(const TextSpec& s, std::optional<double> maxWidth = std::nullopt) {
    return measurer.measure(s, maxWidth);
  }
  double width(const TextSpec& s) { return measure(s).size.width; }

  PangoTextMeasurer measurer;
};

TEST_F(PangoTextMeasurerTest, SizesAreInPointsAtTheAbsoluteSize) {
  const TextMeasurement m = measure(spec("Hola"));
  // One line of a 13 pt UI face is a little over 13 points tall; at a screen resolution of
  // 96 dpi it would be a third more.
  EXPECT_GT(m.size.height, 13.0);
  EXPECT_LT(m.size.height, 13.0 * 1.4);
  EXPECT_GT(m.firstBaseline, 0.0);
  EXPECT_LT(m.firstBaseline, m.size.height);
  EXPECT_EQ(m.displayedText, "Hola");
  EXPECT_FALSE(m.truncated);

  TextSpec small = spec("Hola");
  small.pointSize = 10;
  TextSpec large = small;
  large.pointSize = 20;
  const TextMeasurement s = measure(small);
  const TextMeasurement l = measure(large);
  EXPECT_NEAR(l.size.height, 2 * s.size.height, 0.02 * s.size.height);
  EXPECT_NEAR(l.size.width, 2 * s.size.width, 0.02 * s.size.width);
  EXPECT_NEAR(l.firstBaseline, 2 * s.firstBaseline, 0.02 * s.firstBaseline);
}

TEST_F(PangoTextMeasurerTest, WidthFollowsTextWeightDigitsAndKerning) {
  EXPECT_LT(width(spec("backup")), width(spec("backups and more")));
  EXPECT_LT(width(spec("1,27 TB")), width(spec("1,27 TB", Font::body().bold())));

  // Equal-width digits make every digit as wide as the widest; proportional ones do not.
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
    SCOPED_TRACE(text);
    const TextMeasurement m = measure(oneLine(text));
    EXPECT_EQ(m.displayedText, text);
    EXPECT_FALSE(m.truncated);
    // Set as markup it would be just "x" (bold), "a & b" or a 40 pt "big".
    EXPECT_LT(m.size.height, 13.0 * 1.4);
    EXPECT_LT(m.size.width, width(oneLine(text + "w")));
  }
  // Nothing became bold: the tags are set in the regular weight.
  EXPECT_LT(width(spec("<b>x</b>")), width(spec("<b>x</b>", Font::body().bold())));
}

TEST_F(PangoTextMeasurerTest, TruncatesWhereAskedAndStaysWithinTheWidth) {
  const std::string text = "documents-archive-2024-with-a-rather-long-name";
  const double full = width(oneLine(text));
  struct Case {
    TruncationMode mode;
    double maxWidth;
  };
  for (const Case& c : {Case{TruncationMode::tail, 90}, Case{TruncationMode::middle, 90},
                        Case{TruncationMode::head, 90}, Case{TruncationMode::tail, 30.5},
                        Case{TruncationMode::middle, 150.25}}) {
    SCOPED_TRACE(testing::Message()
                 << "mode " << static_cast<int>(c.mode) << " width " << c.maxWidth);
    ASSERT_LT(c.maxWidth, full);
    const TextMeasurement m = measure(oneLine(text, c.mode), c.maxWidth);
    EXPECT_TRUE(m.truncated);
    EXPECT_LE(m.size.width, c.maxWidth);
    EXPECT_GT(m.size.width, c.maxWidth / 2);
    const std::string& shown = m.displayedText;
    const auto cut = shown.find(kEllipsis);
    ASSERT_NE(cut, std::string::npos) << shown;
    const std::string before = shown.substr(0, cut);
    const std::string after = shown.substr(cut + kEllipsis.size());
    EXPECT_TRUE(startsWith(text, before)) << shown;
    EXPECT_TRUE(endsWith(text, after)) << shown;
    switch (c.mode) {
      case TruncationMode::tail:
        EXPECT_TRUE(after.empty()) << shown;
        break;
      case TruncationMode::head:
        EXPECT_TRUE(before.empty()) << shown;
        break;
      case TruncationMode::middle:
        EXPECT_FALSE(before.empty()) << shown;
        EXPECT_FALSE(after.empty()) << shown;
        break;
    }
    // The drawn string, set on its own, fits the width and misses it by less than a letter
    // (Pango widens the ellipsis to take up the slack).
    const double shownWidth = width(oneLine(shown));
    EXPECT_LE(shownWidth, m.size.width + 0.01);
    EXPECT_GT(shownWidth, m.size.width - 13 * 0.7);
  }
}

TEST_F(PangoTextMeasurerTest, FittingOrUnconstrainedTextIsNotCut) {
  const std::string text = "Sin backups programados";
  const double full = width(oneLine(text));
  for (const std::optional<double> maxWidth :
       {std::optional<double>(), std::optional<double>(full + 1),
        std::optional<double>(std::numeric_limits<double>::infinity()),
        std::optional<double>(std::numeric_limits<double>::quiet_NaN())}) {
    const TextMeasurement m = measure(oneLine(text), maxWidth);
    EXPECT_EQ(m.displayedText, text);
    EXPECT_FALSE(m.truncated);
    EXPECT_DOUBLE_EQ(m.size.width, full);
  }
  // Nothing fits: the ellipsis alone is left.
  const TextMeasurement none = measure(oneLine(text), 0.0);
  EXPECT_EQ(none.displayedText, kEllipsis);
  EXPECT_TRUE(none.truncated);
}

TEST_F(PangoTextMeasurerTest, LineLimitOneKeepsNewlinesOnOneLine) {
  const double lineHeight = measure(oneLine("line one")).size.height;
  const TextMeasurement wide = measure(oneLine("line one\nline two"));
  EXPECT_DOUBLE_EQ(wide.size.height, lineHeight);
  EXPECT_EQ(wide.displayedText, "line one\nline two");

  const TextMeasurement cut = measure(oneLine("line one\nline two"), 45.0);
  EXPECT_DOUBLE_EQ(cut.size.height, lineHeight);
  EXPECT_TRUE(cut.truncated);
  EXPECT_TRUE(endsWith(cut.displayedText, kEllipsis)) << cut.displayedText;

  // Without a limit the newline breaks the line.
  EXPECT_NEAR(measure(spec("line one\nline two")).size.height, 2 * lineHeight, 0.01);
}

TEST_F(PangoTextMeasurerTest, WrapsWithinTheWidthUpToTheLineLimit) {
  const std::string text = "aaaa bbbb cccc dddd eeee ffff gggg hhhh";
  const double lineHeight = measure(oneLine("a")).size.height;

  const TextMeasurement wrapped = measure(spec(text), 60.0);
  EXPECT_LE(wrapped.size.width, 60.0);
  EXPECT_GT(wrapped.size.height, 2.5 * lineHeight);
  EXPECT_EQ(wrapped.displayedText, text);
  EXPECT_FALSE(wrapped.truncated);

  TextSpec twoLines = spec(text);
  twoLines.lineLimit = 2;
  const TextMeasurement limited = measure(twoLines, 60.0);
  EXPECT_NEAR(limited.size.height, 2 * lineHeight, 0.01);
  EXPECT_LE(limited.size.width, 60.0);
  EXPECT_TRUE(limited.truncated);
  EXPECT_TRUE(endsWith(limited.displayedText, kEllipsis)) << limited.displayedText;
  EXPECT_TRUE(startsWith(limited.displayedText, "aaaa bbbb")) << limited.displayedText;

  // The limit counts lines across paragraphs too.
  TextSpec paragraphs = spec("a\nb\nc\nd");
  paragraphs.lineLimit = 2;
  const TextMeasurement firstTwo = measure(paragraphs);
  EXPECT_NEAR(firstTwo.size.height, 2 * lineHeight, 0.01);
  EXPECT_TRUE(firstTwo.truncated);
  EXPECT_TRUE(startsWith(firstTwo.displayedText, "a\nb")) << firstTwo.displayedText;
}

TEST_F(PangoTextMeasurerTest, EmptyTextHasNoWidth) {
  const TextMeasurement m = measure(oneLine(""), 50.0);
  EXPECT_EQ(m.size.width, 0.0);
  EXPECT_EQ(m.displayedText, "");
  EXPECT_FALSE(m.truncated);
}

TEST_F(PangoTextMeasurerTest, BadBytesAreShownAsReplacementCharacters) {
  const std::string replacement = "\uFFFD";
  struct Case {
    std::string text;
    std::string shown;
  };
  for (const Case& c :
       {Case{"ab\xff"
             "cd",
             "ab" + replacement + "cd"},
        Case{std::string("ab\0cd", 5), "ab" + replacement + "cd"}, Case{"\xc3", replacement}}) {
    const TextMeasurement m = measure(oneLine(c.text));
    EXPECT_EQ(m.displayedText, c.shown);
    EXPECT_FALSE(m.truncated);
    EXPECT_GT(m.size.width, 0.0);
  }
  // Cutting still works on the repaired text.
  const TextMeasurement cut = measure(oneLine("\xff"
                                              "abcdefghijklmnopqrstuvwxyz"),
                                      40.0);
  EXPECT_TRUE(cut.truncated);
  EXPECT_TRUE(startsWith(cut.displayedText, replacement)) << cut.displayedText;
  EXPECT_TRUE(endsWith(cut.displayedText, kEllipsis)) << cut.displayedText;
}

TEST_F(PangoTextMeasurerTest, SharedMeasurerGivesTheSameAnswersOnEveryThread) {
  const TextSpec s = oneLine("Próx. fotos · diario", TruncationMode::middle);
  const TextMeasurement expected = measure(s, 70.0);
  std::vector<TextMeasurement> results(4);
  std::vector<std::thread> threads;
  for (auto& result : results) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i)
        result = measurer.measure(s, 70.0);
    });
  }
  for (auto& t : threads)
    t.join();
  for (const auto& r : results) {
    EXPECT_EQ(r.displayedText, expected.displayedText);
    EXPECT_EQ(r.size, expected.size);
  }
}

}  // namespace
}  // namespace halyard::render
