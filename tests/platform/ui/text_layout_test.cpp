#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ui/layout_helpers.hpp"

namespace halyard::ui {
namespace {

using namespace testing;

// The offered width is kept for drawing the text again.
TEST(TextLayout, SetsTextWithinTheWidth) {
  struct Case {
    View view;
    double width;
    std::string displayed;
    Size size;
  };
  const auto oneLine = [](std::string text) { return caption(std::move(text)).lineLimit(1); };
  for (const Case& c : std::vector<Case>{
           {oneLine("abcdef").minimumScaleFactor(0.5), 30, "abcdef", {30, 12}},  // not shrunk
           {oneLine("abcdefghij").truncationMode(TruncationMode::middle), 30, "abc…ij", {30, 12}},
           {caption("abcdefghij"), 25, "abcdefghij", {25, 24}},  // wraps without a limit
           {oneLine("abc"), 0, "…", {5, 12}},
           {oneLine("abc").minimumScaleFactor(0.6), 0, "…", {3, 7.2}},  // at the smallest scale
           // Shrunk to the minimum scale, then cut.
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

// The innermost setting wins; adding settings to a shared view never changes that view.
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

// Without a catalogue, a localised text shows its key with the arguments in place.
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
