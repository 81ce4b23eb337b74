#include <gtest/gtest.h>

#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "platform/ui/layout_helpers.hpp"

namespace halyard::ui {
namespace {

using testing::run;

constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(SectorAngles, FollowClockwiseInListOrder) {
  struct Case {
    std::vector<double> values;
    double inset;
    std::vector<SectorSpan> expected;
  };
  const double most = std::numeric_limits<double>::max();
  for (const Case& c : std::vector<Case>{
           {{1, 1, 2}, 0, {{0, 0, pi / 2}, {1, pi / 2, pi}, {2, pi, 2 * pi}}},
           {{0, -1, nan, infinity, 3}, 0, {{4, 0, 2 * pi}}},  // skipped: not positive or finite
           {{5}, 0.1, {{0, 0, 2 * pi}}},                      // a lone sector keeps the circle
           // A sector narrower than its insets collapses to its middle.
           {{1, 999}, 0.1, {{0, pi / 1000, pi / 1000}, {1, 2 * pi / 1000 + 0.1, 2 * pi - 0.1}}},
           {{most, most}, 0, {{0, 0, pi}, {1, pi, 2 * pi}}},  // no overflow
       }) {
    SCOPED_TRACE(::testing::PrintToString(c.values) + " inset " + std::to_string(c.inset));
    const auto spans = sectorAngles(c.values, c.inset);
    ASSERT_EQ(spans.size(), c.expected.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
      EXPECT_EQ(spans[i].index, c.expected[i].index);
      EXPECT_NEAR(spans[i].startAngle, c.expected[i].startAngle, 1e-12) << i;
      EXPECT_NEAR(spans[i].endAngle, c.expected[i].endAngle, 1e-12) << i;
    }
  }
}

// The inset is in points at the outer radius; the track takes the first mark's own radii.
TEST(Chart, PlacesOneRingSectorPerPositiveValueOrTheTrack) {
  std::vector<SectorMark> marks;
  for (double value : {30.0, 0.0, 10.0})
    marks.push_back({.angle = value, .innerRadius = 0.62, .angularInset = 1});
  const PlacedNode root = run(Chart(marks).chartLegend(Visibility::hidden), {100, 78});
  ASSERT_EQ(root.children.size(), 2U);
  const double inset = 1.0 / 39;
  const PlacedSector& first = *root.children[0].sector;
  EXPECT_EQ(root.children[0].frame, (Rect{11, 0, 78, 78}));
  EXPECT_EQ(first.center, (Point{50, 39}));
  EXPECT_DOUBLE_EQ(first.innerRadius, 0.62 * 39);
  EXPECT_NEAR(first.startAngle, inset, 1e-12);
  EXPECT_NEAR(first.endAngle, 1.5 * pi - inset, 1e-12);
  EXPECT_NEAR(root.children[1].sector->startAngle, 1.5 * pi + inset, 1e-12);

  const PlacedNode empty = run(
      Chart({{.angle = 0, .innerRadius = 0.62, .outerRadius = 0.5}, {.angle = -4}, {.angle = nan}}),
      {78, 78});
  ASSERT_EQ(empty.children.size(), 1U);
  const PlacedNode& track = empty.children[0];
  EXPECT_EQ(track.kind, "ChartTrack");
  EXPECT_EQ(track.frame, (Rect{19.5, 19.5, 39, 39}));
  EXPECT_EQ(track.sector->endAngle - track.sector->startAngle, 2 * pi);
  EXPECT_DOUBLE_EQ(track.sector->innerRadius, 0.62 * 19.5);
  EXPECT_EQ(track.sector->fill.style, StyleName::hierarchicalTertiary);
  EXPECT_TRUE(run(Chart({}), {78, 78}).children.empty());
}

}  // namespace
}  // namespace halyard::ui
