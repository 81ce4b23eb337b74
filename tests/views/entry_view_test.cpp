#include <gtest/gtest.h>

#include "view_test_support.hpp"
#include "views/provider_color.hpp"
#include "views/usage_bars.hpp"

namespace halyard {
namespace {

using namespace testing;
using ui::WidgetFamily;

// ---- Layouts ---------------------------------------------------------------------------------

TEST(EntryViewLayouts, LargeFamilyGetsTheLargeLayoutEveryOtherTheMedium) {
  const WidgetSnapshot full = example();
  for (auto family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium,
                      WidgetFamily::systemExtraLarge, WidgetFamily::accessoryRectangular}) {
    const auto tree = layoutEntry(full, family);
    const auto shown = texts(tree);
    // Medium: no dividers, titles, donut or repository bars, and at most three providers
    // (none in a family too short for any).
    EXPECT_TRUE(ofKind(tree, "Divider").empty());
    EXPECT_TRUE(ofKind(tree, "Chart").empty());
    EXPECT_FALSE(contains(shown, "POR PROVEEDOR"));
    EXPECT_FALSE(contains(shown, "fotos"));
    EXPECT_EQ(bars(tree).size(), family == WidgetFamily::accessoryRectangular ? 0u : 3u);
  }
  const auto large = layoutEntry(full, WidgetFamily::systemLarge);
  const auto shown = texts(large);
  EXPECT_EQ(ofKind(large, "Divider").size(), 2u);
  EXPECT_EQ(ofKind(large, "SectorMark").size(), 3u);
  EXPECT_TRUE(contains(shown, "POR PROVEEDOR"));
  EXPECT_TRUE(contains(shown, "POR REPOSITORIO"));
  EXPECT_EQ(bars(large).size(), full.topRepos.size());
}

TEST(EntryViewLayouts, RepositoryBlockOnlyWithRepositories) {
  WidgetSnapshot none = example();
  none.topRepos.clear();
  const auto withNone = layoutEntry(none, WidgetFamily::systemLarge);
  EXPECT_EQ(ofKind(withNone, "Divider").size(), 1u);
  EXPECT_FALSE(contains(texts(withNone), "POR REPOSITORIO"));
  EXPECT_TRUE(bars(withNone).empty());
}

TEST(EntryViewLayouts, PlaceholderShowsEveryEmptyStateInBothFamilies) {
  for (auto family : {WidgetFamily::systemMedium, WidgetFamily::systemLarge}) {
    const auto tree = layoutEntry(WidgetSnapshot::placeholder(), family);
    const auto shown = texts(tree);
    EXPECT_TRUE(contains(shown, "0 bytes"));
    EXPECT_TRUE(contains(shown, "repos"));
    EXPECT_FALSE(contains(shown, "archivos"));
    EXPECT_TRUE(contains(shown, "Abre Halyard para generar estadísticas"));
    EXPECT_TRUE(contains(shown, "Sin backups programados"));
    EXPECT_EQ(contains(shown, "POR PROVEEDOR"), family == WidgetFamily::systemLarge);
    EXPECT_FALSE(contains(shown, "POR REPOSITORIO"));
    EXPECT_TRUE(ofKind(tree, "Chart").empty());
    EXPECT_TRUE(bars(tree).empty());
    expectNoOverlap(tree);
  }
}

TEST(EntryViewLayouts, ContentSitsInsideMarginsWithFourPointsAboveAndBelow) {
  for (auto family : {WidgetFamily::systemMedium, WidgetFamily::systemLarge}) {
    const auto tree = layoutEntry(example(), family);
    const auto size = host::familySize(family);
    const auto* total = textNode(tree, "1,2 TB");
    ASSERT_NE(total, nullptr);
    const auto* icon = ofKind(tree, "Image").front();
    EXPECT_DOUBLE_EQ(icon->frame.x, 16);
    EXPECT_NEAR(total->frame.x, icon->frame.maxX() + 10, 0.5);
    // The footer's icon sits at the bottom: 16 margin + 4 padding from the widget's edge.
    const auto* footerIcon = ofKind(tree, "Image").back();
    EXPECT_NEAR(footerIcon->frame.maxY(), size.height - 20, 2.5);
    EXPECT_GE(ofKind(tree, "Image").front()->frame.y, 20);
    EXPECT_EQ(ofKind(tree, "ContainerBackground").size(), 1u);
    EXPECT_EQ(ofKind(tree, "ContainerBackground").front()->frame,
              (ui::Rect{0, 0, size.width, size.height}));
  }
}

// ---- Header ----------------------------------------------------------------------------------

TEST(Header, CountersWordsAndPlurals) {
  struct Case {
    std::int64_t repos, archives;
    std::vector<std::string> expected;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {1, 1, {"1", "repo", "1", "archivo"}, {"repos", "archivos"}},
      {0, 0, {"0", "repos"}, {"repo", "archivo", "archivos"}},
      {-1, -5, {"-1", "repos"}, {"-5", "archivos", "archivo"}},
      {12345, 2, {"12345", "repos", "2", "archivos"}, {"12.345", "12 345"}},
  };
  for (const auto& c : cases) {
    WidgetSnapshot s = WidgetSnapshot::placeholder();
    s.repoCount = c.repos;
    s.archiveCount = c.archives;
    const auto shown = texts(layoutEntry(s, WidgetFamily::systemMedium));
    for (const auto& word : c.expected)
      EXPECT_TRUE(contains(shown, word)) << c.repos << " " << word;
    for (const auto& word : c.absent)
      EXPECT_FALSE(contains(shown, word)) << c.repos << " " << word;
  }
}

TEST(Header, HealthSymbolAndColour) {
  using Health = WidgetSnapshot::Health;
  const std::tuple<Health, const char*, ui::StyleName> cases[] = {
      {Health::ok, "checkmark.circle.fill", ui::StyleName::green},
      {Health::running, "arrow.triangle.2.circlepath", ui::StyleName::orange},
      {Health::error, "exclamationmark.triangle.fill", ui::StyleName::red},
  };
  for (const auto& [health, symbol, colour] : cases) {
    WidgetSnapshot s = example();
    s.health = health;
    const auto tree = layoutEntry(s, WidgetFamily::systemLarge);
    const auto images = ofKind(tree, "Image");
    ASSERT_EQ(images.size(), 3u);  // drive, health, footer clock
    EXPECT_EQ(images[1]->symbol->name, symbol);
    EXPECT_EQ(images[1]->symbol->color.style, colour);
    // At the trailing edge of the content.
    EXPECT_NEAR(images[1]->frame.maxX(), 364 - 16, 0.5);
  }
}

// ---- Providers -------------------------------------------------------------------------------

TEST(ProviderBars, FirstThreeInOrderAgainstTheLargestShown) {
  WidgetSnapshot s = WidgetSnapshot::placeholder();
  s.byProvider = {{"local", "A", 10},
                  {"tarnBase", "B", 30},
                  {"x", "C", 0},
                  {"tarnBox", "D", 900},
                  {"y", "E", 5}};
  const auto tree = layoutEntry(s, WidgetFamily::systemMedium);
  const auto shown = texts(tree);
  EXPECT_TRUE(contains(shown, "A") && contains(shown, "B") && contains(shown, "C"));
  EXPECT_FALSE(contains(shown, "D") || contains(shown, "E"));
  const auto coloured = bars(tree);
  const auto track = tracks(tree);
  ASSERT_EQ(coloured.size(), 3u);
  ASSERT_EQ(track.size(), 3u);
  EXPECT_LT(textNode(tree, "A")->frame.y, textNode(tree, "B")->frame.y);
  EXPECT_NEAR(coloured[0]->frame.width, track[0]->frame.width / 3, 0.5);
  EXPECT_DOUBLE_EQ(coloured[1]->frame.width, track[1]->frame.width);
  EXPECT_DOUBLE_EQ(coloured[2]->frame.width, kMinimumBarWidth);
  EXPECT_EQ(coloured[0]->shape->fill.style, ui::StyleName::blue);
  EXPECT_EQ(coloured[2]->shape->fill.style, ui::StyleName::secondary);
}

TEST(ProviderDonut, SectorAndLegendRowForEveryProvider) {
  const WidgetSnapshot many = example("many.json");
  const auto tree = layoutEntry(many, WidgetFamily::systemLarge);
  const auto sectors = ofKind(tree, "SectorMark");
  ASSERT_EQ(sectors.size(), 5u);
  EXPECT_EQ(ofKind(tree, "Circle").size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(sectors[i]->sector->fill.style, providerColor(many.byProvider[i].providerKey));
    EXPECT_NE(textNode(tree, many.byProvider[i].label), nullptr);
  }
  EXPECT_EQ(ofKind(tree, "Chart").front()->frame.width, 78);
  EXPECT_NEAR(sectors[0]->sector->innerRadius / sectors[0]->sector->outerRadius, 0.62, 1e-9);
}

// ---- Repositories ----------------------------------------------------------------------------

TEST(RepoBars, EveryRowInOrderProportionalToTheLargest) {
  WidgetSnapshot s = example();
  s.topRepos = {{"X", "local", 40}, {"Y", "tarnBox", 10}, {"Z", "other", 20}, {"W", "local", 0}};
  const auto tree = layoutEntry(s, WidgetFamily::systemLarge);
  const auto coloured = bars(tree);
  const auto track = tracks(tree);
  ASSERT_EQ(coloured.size(), 4u);
  const double full = track[0]->frame.width;
  EXPECT_DOUBLE_EQ(coloured[0]->frame.width, full);
  EXPECT_NEAR(coloured[1]->frame.width, full / 4, 0.5);
  EXPECT_NEAR(coloured[2]->frame.width, full / 2, 0.5);
  EXPECT_DOUBLE_EQ(coloured[3]->frame.width, kMinimumBarWidth);
  EXPECT_EQ(coloured[1]->shape->fill.style, ui::StyleName::yellow);
  EXPECT_LT(textNode(tree, "X")->frame.y, textNode(tree, "Y")->frame.y);
  EXPECT_LT(textNode(tree, "Y")->frame.y, textNode(tree, "Z")->frame.y);
}

TEST(UsageBars, WidthRules) {
  struct Case {
    std::int64_t bytes, reference;
    double available, expected;
  };
  for (const Case& c :
       {Case{30, 30, 200, 200}, Case{10, 30, 200, 200.0 / 3}, Case{0, 30, 200, 4},
        Case{0, 0, 200, 0}, Case{5, -1, 200, 0}, Case{1, 2, 3, 4}, Case{1, 2, 0, 0},
        Case{-10, 30, 200, 4}, Case{1, 2, std::numeric_limits<double>::quiet_NaN(), 0},
        Case{INT64_MIN, INT64_MAX, 100, 4}}) {
    EXPECT_DOUBLE_EQ(barWidth(c.bytes, c.reference, c.available), c.expected)
        << c.bytes << "/" << c.reference << " of " << c.available;
  }
  const std::int64_t counts[] = {3, -7, 12, 12};
  EXPECT_EQ(referenceValue(counts), 12);
  EXPECT_EQ(referenceValue({}), 1);
}

// ---- Footer ----------------------------------------------------------------------------------

TEST(Footer, NextBackupLineAndItsPhrase) {
  struct Case {
    std::string repo, schedule;
    Date date;
    std::string label, phrase;
  };
  const Date fire = *parseRfc3339("2026-03-14T21:00:00Z");
  const Case cases[] = {
      {"fotos", "Diario", kEntryDate, "Próx. fotos · Diario", "dentro de 11 h"},
      {"", "Diario", kEntryDate, "Próx.  · Diario", "dentro de 11 h"},
      {"fotos", "", kEntryDate, "Próx. fotos · ", "dentro de 11 h"},
      {"fotos", "Diario", fire + std::chrono::minutes(3), "Próx. fotos · Diario", "hace 3 min"},
  };
  for (const auto& c : cases) {
    WidgetSnapshot s = example();
    s.nextBackup = WidgetSnapshot::NextBackup{c.repo, c.schedule, fire};
    const auto tree = layoutEntry(s, WidgetFamily::systemMedium, c.date);
    const auto shown = texts(tree);
    EXPECT_TRUE(contains(shown, c.label)) << c.label;
    EXPECT_TRUE(contains(shown, c.phrase)) << c.phrase;
    EXPECT_EQ(symbols(tree).back(), "clock.arrow.circlepath");
    EXPECT_NEAR(textNode(tree, c.phrase)->frame.maxX(), 364 - 16, 0.5);
  }
}

TEST(Footer, NoBackupsScheduled) {
  WidgetSnapshot s = example();
  s.nextBackup.reset();
  const auto tree = layoutEntry(s, WidgetFamily::systemMedium);
  EXPECT_EQ(symbols(tree).back(), "clock.badge.questionmark");
  const auto* line = textNode(tree, "Sin backups programados");
  ASSERT_NE(line, nullptr);
  EXPECT_LT(line->frame.maxX(), 200);  // no spacer: at the leading edge
}

// ---- Colours ---------------------------------------------------------------------------------

TEST(ProviderColor, KnownKeysAndNearMisses) {
  const std::pair<const char*, ui::StyleName> cases[] = {
      {"local", ui::StyleName::blue},       {"tarnBase", ui::StyleName::green},
      {"tarnBox", ui::StyleName::yellow},   {"Local", ui::StyleName::secondary},
      {"local ", ui::StyleName::secondary}, {"", ui::StyleName::secondary},
  };
  for (const auto& [key, colour] : cases)
    EXPECT_EQ(providerColor(key), colour) << '"' << key << '"';
}

}  // namespace
}  // namespace halyard
