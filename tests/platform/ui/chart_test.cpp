// Sector angles and chart placement.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "platform/ui/layout_helpers.hpp"
#include "platform/ui/ui.hpp"

namespace halyard::ui {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct AngleCase {
  std::string name;
  std::vector<double> values;
  double inset;
  std::vector<SectorSpan> expected;
};

void PrintTo(const AngleCase& c, std::ostream* os) {
  *os << c.name;
}

class SectorAngles : public ::testing::TestWithParam<AngleCase> {};

TEST_P(SectorAngles, FollowClockwiseInListOrder) {
  const AngleCase& c = GetParam();
  const auto spans = sectorAngles(c.values, c.inset);
  ASSERT_EQ(spans.size(), c.expected.size());
  for (std::size_t i = 0; i < spans.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(spans[i].index, c.expected[i].index);
    EXPECT_NEAR(spans[i].startAngle, c.expected[i].startAngle, 1e-12);
    EXPECT_NEAR(spans[i].endAngle, c.expected[i].endAngle, 1e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SectorAngles,
    ::testing::Values(
        AngleCase{"Proportional", {1, 1, 2}, 0, {{0, 0, pi / 2}, {1, pi / 2, pi}, {2, pi, 2 * pi}}},
        AngleCase{"Empty", {}, 0, {}}, AngleCase{"SumZero", {0, 0}, 0, {}},
        AngleCase{"AllNegative", {-1, -2}, 0, {}},
        AngleCase{"SkipsZeroNegativeAndNotFinite", {0, -1, nan, infinity, 3}, 0, {{4, 0, 2 * pi}}},
        AngleCase{"LoneSectorKeepsFullCircle", {5}, 0.1, {{0, 0, 2 * pi}}},
        AngleCase{
            "InsetNarrowsBothEnds", {1, 1}, 0.1, {{0, 0.1, pi - 0.1}, {1, pi + 0.1, 2 * pi - 0.1}}},
        AngleCase{"NarrowSectorCollapsesToItsMiddle",
                  {1, 999},
                  0.1,
                  {{0, pi / 1000, pi / 1000}, {1, 2 * pi / 1000 + 0.1, 2 * pi - 0.1}}},
        AngleCase{"BadInsetIsNone", {1, 1}, nan, {{0, 0, pi}, {1, pi, 2 * pi}}},
        AngleCase{"HugeValuesDoNotOverflow",
                  {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()},
                  0,
                  {{0, 0, pi}, {1, pi, 2 * pi}}}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(Chart, PlacesOneRingSectorPerPositiveValue) {
  std::vector<SectorMark> marks;
  for (double value : {30.0, 0.0, 10.0}) {
    marks.push_back(
        {.angle = value, .innerRadius = 0.62, .angularInset = 1, .style = StyleName::green});
  }
  const PlacedNode root =
      testing::run(Chart(marks).chartLegend(Visibility::hidden).frame(78, 78), {78, 78});
  const PlacedNode& chart = testing::at(root, {0});
  EXPECT_EQ(chart.kind, "Chart");
  ASSERT_EQ(chart.children.size(), 2U);
  const double inset = 1.0 / 39;
  const PlacedSector& first = *chart.children[0].sector;
  const PlacedSector& second = *chart.children[1].sector;
  EXPECT_EQ(chart.children[0].kind, "SectorMark");
  EXPECT_EQ(chart.children[0].frame, (Rect{0, 0, 78, 78}));
  EXPECT_DOUBLE_EQ(first.value, 30);
  EXPECT_DOUBLE_EQ(second.value, 10);
  EXPECT_EQ(first.center, (Point{39, 39}));
  EXPECT_DOUBLE_EQ(first.outerRadius, 39);
  EXPECT_DOUBLE_EQ(first.innerRadius, 0.62 * 39);
  EXPECT_NEAR(first.startAngle, inset, 1e-12);
  EXPECT_NEAR(first.endAngle, 1.5 * pi - inset, 1e-12);
  EXPECT_NEAR(second.startAngle, 1.5 * pi + inset, 1e-12);
  EXPECT_NEAR(second.endAngle, 2 * pi - inset, 1e-12);
  EXPECT_EQ(first.fill.style, StyleName::green);
}

TEST(Chart, SumZeroPlacesNothing) {
  const PlacedNode root = testing::run(Chart({{.angle = 0}, {.angle = -4}}), {78, 78});
  EXPECT_TRUE(root.children.empty());
  EXPECT_EQ(root.frame, (Rect{0, 0, 78, 78}));
}

TEST(Chart, RadiusIsHalfTheShorterSide) {
  const PlacedNode root = testing::run(Chart({{.angle = 1, .outerRadius = 0.5}}), {100, 60});
  const PlacedSector& sector = *root.children.at(0).sector;
  EXPECT_DOUBLE_EQ(sector.outerRadius, 15);
  EXPECT_EQ(sector.center, (Point{50, 30}));
  EXPECT_EQ(root.children[0].frame, (Rect{35, 15, 30, 30}));
}

}  // namespace
}  // namespace halyard::ui
