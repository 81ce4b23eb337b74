// Text: measuring, shrinking, truncation, inherited settings and localisable keys.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ui/layout_helpers.hpp"

namespace halyard::ui {
namespace {

using namespace testing;

// The text is set within the offered width, and that width is kept for drawing it again.
TEST(TextLayout, SetsTextWithinTheWidth) {
  struct Case {
    View view;
    double width;
    std::string displayed;
    Size size;
  };
  const auto oneLine = [](std::string text) { return caption(std::move(text)).lineLimit(1); };
  for (const Case& c : std::vector<Case>{
           // Text that fits is not shrunk even when it may be.
           {oneLine("abcdef").minimumScaleFactor(0.5), 30, "abcdef", {30, 12}},
           {oneLine("abcdefghij").truncationMode(TruncationMode::middle), 30, "abc…ij", {30, 12}},
           {caption("abcdefghij"), 25, "abcdefghij", {25, 24}},  // wraps without a limit
           {oneLine("abc"), 0, "…", {5, 12}},
           {oneLine("abc").minimumScaleFactor(0.6), 0, "…", {3, 7.2}},  // at the smallest scale
           // Shrinking stops at the minimum scale (0.6 × 10 = 6 points: 3 per character),
           // then the tail is cut.
           {oneLine("abcdefghijklmnopqrst").minimumScaleFactor(0.6), 30, "abcdefghi…", {30, 7.2}},
       }) {
    SCOPED_TRACE(c.displayed);
    const PlacedNode root = run(c.view, {c.width, 100});
    ASSERT_TRUE(root.text);
    EXPECT_EQ(root.text->displayedText, c.displayed);
    EXPECT_EQ(root.text->width, c.width);
    EXPECT_DOUBLE_EQ(root.frame.width, c.size.width);
    EXPECT_DOUBLE_EQ(root.frame.height, c.size.height);
  }
}

// title2 (17 points) bold digits: 85 points wide at full size; 60 fit at scale 60/85.
TEST(TextShrinking, FindsTheLargestSizeThatFitsAndKeepsTheFace) {
  const View digits = Text("1234567890").font(Font::title2().bold().monospacedDigit());
  const PlacedNode root = run(digits.lineLimit(1).minimumScaleFactor(0.6), {60, 100});
  EXPECT_EQ(root.text->displayedText, "1234567890");
  EXPECT_LE(root.frame.width, 60);
  EXPECT_NEAR(root.text->spec.pointSize, 17 * 60.0 / 85.0, 17 * 0.006);
  EXPECT_TRUE(root.text->spec.font.isBold && root.text->spec.font.hasMonospacedDigits);
}

// Settings reach the texts below them and the innermost value of each wins, also one that
// clears a value. Consecutive settings share one node, and adding settings to a view (even a
// moved-from copy) never changes that view.
TEST(TextEnvironment, InnermostSettingsWinAndSharedViewsStayAlone) {
  const View base = caption("abc").kerning(0.5);
  View moved = base;
  const PlacedNode root =
      run(VStack(HorizontalAlignment::leading, 0,
                 {Text("a"), base, base.foregroundStyle(StyleName::blue).font(Font::title()),
                  std::move(moved).foregroundStyle(StyleName::green),
                  Text("abc")
                      .lineLimit(0)
                      .font(Font::caption2())
                      .lineLimit(1)
                      .font(Font::title())
                      .foregroundStyle(StyleName::blue)
                      .foregroundStyle(StyleName::red)})
              .font(Font::title())
              .foregroundStyle(StyleName::red)
              .kerning(0.4)
              .lineLimit(2),
          {400, 400});
  // The point size, kerning, colour and line limit each text ends with.
  using Settings = std::tuple<double, double, StyleName, std::optional<int>>;
  std::vector<Settings> settings;
  for (const PlacedNode& child : root.children) {
    const PlacedText& text = *child.text;
    settings.emplace_back(text.spec.pointSize, text.spec.kerning, text.color.style,
                          text.spec.lineLimit);
  }
  EXPECT_EQ(settings, (std::vector<Settings>{{22, 0.4, StyleName::red, 2},
                                             {10, 0.5, StyleName::red, 2},
                                             {10, 0.5, StyleName::blue, 2},
                                             {10, 0.5, StyleName::green, 2},
                                             {10, 0.4, StyleName::blue, std::nullopt}}));
  EXPECT_EQ(at(root, {2}).text->color.rgba, resolve(StyleName::blue, Appearance::light));
  EXPECT_DOUBLE_EQ(at(root, {0}).frame.width, 11.4);  // kerning widens every character
}

// Bad values from the host fall back. Without a catalogue, a localised text shows its key
// with the arguments in place.
TEST(TextEnvironment, BadValuesFromTheHostFallBack) {
  Environment env;
  env.minimumScaleFactor = std::numeric_limits<double>::quiet_NaN();
  env.kerning = infinity;
  env.lineLimit = 0;
  env.displayScale = std::numeric_limits<double>::quiet_NaN();
  env.textDomain = "halyard-ui-test-no-such-domain";
  const PlacedNode root =
      run(LocalizedText("%@ghij", {"abcdef"}).font(Font::caption2()), {30, 100}, env);
  EXPECT_EQ(root.text->spec.text, "abcdefghij");
  EXPECT_DOUBLE_EQ(root.text->spec.pointSize, 10);
  EXPECT_DOUBLE_EQ(root.text->spec.kerning, 0);
  EXPECT_FALSE(root.text->spec.lineLimit);
  EXPECT_EQ(root.frame, (Rect{0, 38, 30, 24}));  // two lines, centred in 100
  EXPECT_EQ(localizedString("", ""), "");
  EXPECT_EQ(localizedString("", "Sin backups programados"), "Sin backups programados");
}

TEST(LocalizedText, FormatsPlaceholders) {
  struct Case {
    std::string format;
    std::vector<std::string> arguments;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {"Próx. %@ · %@", {"Diario", "Noche"}, "Próx. Diario · Noche"},
           {"Próx. %@ · %@", {"", ""}, "Próx.  · "},
           {"%2$@ antes de %1$@", {"uno", "dos"}, "dos antes de uno"},
           {"%lld archivos, %d repos", {"12", "3"}, "12 archivos, 3 repos"},
           {"%@ y %@", {"solo"}, "solo y %@"},
           {"100%% listo", {}, "100% listo"},
           {"al 50%", {"x"}, "al 50%"},
           {"%q %0$@ %9$@", {"x"}, "%q %0$@ %9$@"},
           {"", {"x"}, ""},
       }) {
    EXPECT_EQ(formatLocalized(c.format, c.arguments), c.expected) << c.format;
  }
}

}  // namespace
}  // namespace halyard::ui
