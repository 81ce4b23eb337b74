#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "view_test_support.hpp"
#include "views/formatters.hpp"
#include "views/usage_bars.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;
using namespace testing;
using ui::StyleName;
using ui::WidgetFamily;

TEST(EntryViewLayouts, LargeFamilyGetsTheLargeLayoutEveryOtherTheMedium) {
  for (auto family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium,
                      WidgetFamily::systemExtraLarge, WidgetFamily::accessoryRectangular}) {
    const auto tree = layoutEntry(example(), family);
    // Medium: no sections, three provider bars at most (none where too short for any).
    EXPECT_TRUE(ofKind(tree, "Chart").empty());
    EXPECT_EQ(textNode(tree, "POR PROVEEDOR"), nullptr);
    EXPECT_EQ(textNode(tree, "fotos"), nullptr);
    EXPECT_EQ(bars(tree).size(), family == WidgetFamily::accessoryRectangular ? 0u : 3u);
  }

  // The donut: a sector and a legend row for every provider, coloured alike.
  const WidgetSnapshot many = example("many.json");
  const auto donut = layoutEntry(many, WidgetFamily::systemLarge);
  const auto sectors = ofKind(donut, "SectorMark");
  const auto dots = ofKind(donut, "Circle");
  using enum StyleName;
  const StyleName colours[] = {blue, green, yellow, secondary, secondary};
  ASSERT_EQ(sectors.size(), 5u);
  ASSERT_EQ(dots.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(sectors[i]->sector->fill.style, colours[i]);
    EXPECT_EQ(dots[i]->shape->fill.style, colours[i]);
    EXPECT_NE(textNode(donut, many.byProvider[i].label), nullptr);
  }
}

// The header's texts after the total; the health's symbol and colour at the trailing edge.
TEST(Header, CountersWordsAndHealth) {
  const std::string empty = "Abre Halyard para generar estadísticas";
  struct Case {
    std::int64_t repos, archives;
    std::vector<std::string> texts;
    WidgetSnapshot::Health health;
    std::string symbol;
    StyleName colour;
  };
  using enum WidgetSnapshot::Health;
  using enum StyleName;
  const Case cases[] = {
      {1, 1, {"1", "repo", "1", "archivo"}, ok, "checkmark.circle.fill", green},
      {0, 0, {"0", "repos", empty}, running, "arrow.triangle.2.circlepath", orange},
      {-1, -5, {"-1", "repos", empty}, error, "exclamationmark.triangle.fill", red},
      {12345, 2, {"12345", "repos", "2", "archivos"}, ok, "checkmark.circle.fill", green},
  };
  for (const Case& c : cases) {
    WidgetSnapshot s = WidgetSnapshot::placeholder();
    s.repoCount = c.repos;
    s.archiveCount = c.archives;
    s.health = c.health;
    const auto tree = layoutEntry(s, WidgetFamily::systemMedium);
    const auto shown = texts(tree);
    ASSERT_GT(shown.size(), c.texts.size());
    EXPECT_EQ(std::vector(shown.begin() + 1, shown.begin() + 1 + c.texts.size()), c.texts);
    const auto images = ofKind(tree, "Image");
    ASSERT_EQ(images.size(), 3u);  // drive, health, footer clock
    EXPECT_EQ(images[1]->symbol->name, c.symbol);
    EXPECT_EQ(images[1]->symbol->color.style, c.colour);
    EXPECT_NEAR(images[1]->frame.maxX(), 364 - 16, 0.5);
  }
}

// Bars against the largest row shown, at least the minimum, coloured by provider.
TEST(UsageBars, RowsInOrderAgainstTheLargestShown) {
  WidgetSnapshot s = example();
  s.byProvider = {{"local", "A", 10}, {"tarnBase", "B", 30}, {"x", "C", 0}};
  s.byProvider.insert(s.byProvider.end(), {{"tarnBox", "D", 900}, {"y", "E", 5}});  // not shown
  s.topRepos = {{"V", "tarnBox", 40}, {"W", "local", 10}, {"X", "tarnBase", 20}, {"Y", "z", 0}};
  using Row = std::tuple<std::string, double, StyleName>;  // name, share of the track, colour
  using enum StyleName;
  const std::pair<WidgetFamily, std::vector<Row>> cases[] = {
      {WidgetFamily::systemMedium, {{"A", 1.0 / 3, blue}, {"B", 1, green}, {"C", 0, secondary}}},
      {WidgetFamily::systemLarge,
       {{"V", 1, yellow}, {"W", 0.25, blue}, {"X", 0.5, green}, {"Y", 0, secondary}}},
  };
  for (const auto& [family, rows] : cases) {
    const auto tree = layoutEntry(s, family);
    const auto coloured = bars(tree);
    const auto track = bars(tree, true);
    ASSERT_EQ(coloured.size(), rows.size());
    ASSERT_EQ(track.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto& [name, share, colour] = rows[i];
      EXPECT_NEAR(coloured[i]->frame.width,
                  std::max(kMinimumBarWidth, share * track[i]->frame.width), 0.5);
      EXPECT_EQ(coloured[i]->shape->fill.style, colour);
      ASSERT_NE(textNode(tree, name), nullptr) << name;
      if (i > 0) {
        EXPECT_LT(textNode(tree, std::get<0>(rows[i - 1]))->frame.y, textNode(tree, name)->frame.y);
      }
    }
  }
}

// No width without a reference or room for it, the minimum for nothing or less, no overflow.
TEST(UsageBars, WidthRules) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::tuple<std::int64_t, std::int64_t, double, double> cases[] = {
      {0, 0, 200, 0},    {5, -1, 200, 0}, {1, 2, 3, 4},   {1, 2, 0, 0},
      {-10, 30, 200, 4}, {1, 2, nan, 0},  {1, 2, inf, 0}, {INT64_MIN, INT64_MAX, 100, 4}};
  for (const auto& [bytes, reference, available, width] : cases)
    EXPECT_DOUBLE_EQ(barWidth(bytes, reference, available), width)
        << bytes << "/" << reference << " of " << available;
  EXPECT_EQ(referenceValue({}), 1);
}

// The next backup's line and phrase at the trailing edge; without one, a line at the leading edge.
TEST(Footer, NextBackupLineAndItsPhrase) {
  WidgetSnapshot s = example();
  const auto tree = layoutEntry(s, WidgetFamily::systemMedium);
  EXPECT_EQ(ofKind(tree, "Image").back()->symbol->name, "clock.arrow.circlepath");
  EXPECT_NE(textNode(tree, "Próx. fotos · Diario"), nullptr);
  ASSERT_NE(textNode(tree, "dentro de 11 h"), nullptr);
  EXPECT_NEAR(textNode(tree, "dentro de 11 h")->frame.maxX(), 364 - 16, 0.5);

  s.nextBackup.reset();
  const auto without = layoutEntry(s, WidgetFamily::systemMedium);
  EXPECT_EQ(ofKind(without, "Image").back()->symbol->name, "clock.badge.questionmark");
  ASSERT_NE(textNode(without, "Sin backups programados"), nullptr);
  EXPECT_LT(textNode(without, "Sin backups programados")->frame.maxX(), 200);  // no spacer
}

TEST(ByteCountFormatter, BinaryUnitsInTheLocalesNumbers) {
  const ByteCountFormatter bytes("es");
  // No fraction digits for KB, one for MB, two from GB; exact halves (2,5 KB, 1,25 MB, 3,125 GB)
  // to even; 1048575 rounds up into the next unit, not to "1024 KB".
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0 bytes"},      {1, "1 byte"},         {1023, "1023 bytes"},    {1024, "1 KB"},
      {1536, "2 KB"},      {2560, "2 KB"},        {1048575, "1 MB"},       {1310720, "1,2 MB"},
      {-1, "-1 byte"},     {-1572864, "-1,5 MB"}, {3355443200, "3,12 GB"}, {LLONG_MAX, "8 EB"},
      {LLONG_MIN, "-8 EB"}};
  for (const auto& [count, expected] : cases)
    EXPECT_EQ(bytes.string(count), expected) << count;
  EXPECT_EQ(ByteCountFormatter("en_US").string(1572864), "1.5 MB");
}

TEST(RelativeDateFormatter, LargestWholeUnitOfTheCalendarDifference) {
  const RelativeDateFormatter relative("es");
  const Date reference = *parseRfc3339("2026-03-14T09:30:00Z");
  // Truncated, not rounded (90 min, 119 s); past and future differ even at 0 s.
  const std::pair<std::chrono::microseconds, const char*> cases[] = {
      {2h, "dentro de 2 h"},         {-3min, "hace 3 min"},   {90min, "dentro de 1 h"},
      {119s, "dentro de 1 min"},     {0s, "dentro de 0 s"},   {-500ms, "hace 0 s"},
      {24h * 8, "dentro de 1 sem."}, {-24h * 400, "hace 1 a"}};
  for (const auto& [offset, expected] : cases)
    EXPECT_EQ(relative.string(reference + offset, reference), expected) << offset.count();
}

// Shared formatters, made on first use by whichever render comes first (CI runs this in TSan).
TEST(SharedFormatters, ConcurrentFirstUseFromRenders) {
  const WidgetSnapshot snapshot = example();
  std::vector<std::vector<std::string>> seen(6);
  {
    std::vector<std::jthread> threads;  // joined at the end of the block
    for (auto& texts : seen)
      threads.emplace_back([&snapshot, &texts] {
        const ui::testing::FakeMeasurer measurer;  // one per thread: it counts its calls
        texts = testing::texts(layoutEntry(snapshot, WidgetFamily::systemMedium, &measurer));
      });
  }
  EXPECT_THAT(seen, ::testing::Each(seen.front()));
  EXPECT_THAT(seen.front(), ::testing::IsSupersetOf({"1,2 TB", "dentro de 11 h"}));
}

}  // namespace
}  // namespace halyard
