#include "platform/render/symbols.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "platform/render/image_probe.hpp"

namespace halyard::render {
namespace {

using testing::ImageProbe;

ImageProbe drawn(std::string_view name, const ui::Rect& rect, const ui::RGBA& color) {
  return testing::drawnWith(60, 60, [&](cairo_t* cr) { drawSymbol(cr, name, rect, color); });
}

// In a translucent tint every inked pixel is the tint laid once, where parts overlap too.
TEST(SymbolsTest, EverySymbolFillsTheMiddleOfItsRectOnceInTheTint) {
  ASSERT_EQ(symbolNames().size(), 6u);
  const ui::RGBA tint{0.2, 0.78, 0.35, 0.5};
  for (const std::string_view name : symbolNames()) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(hasSymbol(name));
    const ImageProbe image = drawn(name, {0, 20, 60, 20}, tint);
    const auto ink = image.inkBox();
    ASSERT_TRUE(ink);
    EXPECT_GE(ink->minY, 20);
    EXPECT_LE(ink->maxY, 39);
    EXPECT_GE(ink->maxY - ink->minY, 14) << "fills most of the height";
    EXPECT_NEAR((ink->minX + ink->maxX) / 2.0, 30, 3);
    int covered = 0;
    for (int y = 20; y < 40; ++y) {
      for (int x = 0; x < 60; ++x) {
        ASSERT_LE(image.at(x, y).a, 128) << x << "," << y;
        if (image.at(x, y).a < 128) continue;
        ++covered;
        EXPECT_TRUE(testing::showsColor(image.at(x, y), tint));
      }
    }
    EXPECT_GE(covered, 10);
  }
}

TEST(SymbolsTest, KnockOutsAreTransparent) {
  // A point on ink and one in a cut-out, in the design box at two pixels per unit.
  struct Case {
    std::string_view name;
    double boxWidth, boxHeight, inkX, inkY, holeX, holeY;
  };
  for (const Case& c : {Case{"checkmark.circle.fill", 20, 20, 10, 3, 8.7, 13.0},
                        Case{"externaldrive.fill", 26, 18, 13, 6, 19.6, 11.4},
                        Case{"exclamationmark.triangle.fill", 22, 20, 6, 16, 11, 9.8},
                        Case{"clock.badge.questionmark", 22.4, 20, 16.9, 1.2, 16.9, 8.15},
                        // The dial's rim, and where it passes the clear ring round the badge.
                        Case{"clock.badge.questionmark", 22.4, 20, 8.8, 18.9, 16.1, 11.1}}) {
    SCOPED_TRACE(c.name);
    const ImageProbe image = drawn(c.name, {0, 0, 2 * c.boxWidth, 2 * c.boxHeight}, {0, 0, 0, 1});
    EXPECT_EQ(image.atPoint(c.inkX, c.inkY, 2).a, 255);
    EXPECT_EQ(image.atPoint(c.holeX, c.holeY, 2).a, 0);
  }
}

TEST(SymbolsTest, DrawsNothingForUnknownNamesOrUnusableRects) {
  EXPECT_FALSE(hasSymbol("externaldrive"));
  EXPECT_FALSE(drawn("externaldrive", {0, 0, 60, 60}, {0, 0, 0, 1}).inkBox());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const ui::Rect rect : {ui::Rect{0, 0, 0, 40}, ui::Rect{0, 0, -5, 40},
                              ui::Rect{nan, 0, 40, 40}, ui::Rect{0, 0, 40, nan}}) {
    EXPECT_FALSE(drawn("checkmark.circle.fill", rect, {0, 0, 0, 1}).inkBox());
  }
}

}  // namespace
}  // namespace halyard::render
