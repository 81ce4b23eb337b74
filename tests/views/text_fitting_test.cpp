// What a user sees with the real measurer: long names, lists and numbers in both families, at
// scales 1 and 2 (CTest runs WidgetFits again in an English locale: wider grouped numbers).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "platform/host/widget_family.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "view_test_support.hpp"

namespace halyard {
namespace {

using namespace testing;
using ::testing::MatchesRegex;
using ui::WidgetFamily;

const render::PangoTextMeasurer& measurer() {
  static const render::PangoTextMeasurer instance;
  return instance;
}

// Cut at the end in the medium layout's provider bars (62 points) and the footer (shared by
// both layouts), in the middle in the large layout's repository rows; read whole.
TEST(TextFitting, LongNamesAreCutWhereEachSectionSaysAndReadWhole) {
  const WidgetSnapshot s = example("long-names.json");
  const auto shown = [&](const ui::PlacedNode& tree, const std::string& text) {
    const auto* node = textNode(tree, text);
    return node ? node->text->displayedText : "(missing) " + text;
  };
  const std::string footer = "Próx. " + s.nextBackup->repoName + " · " + s.nextBackup->scheduleName;
  const auto medium = layoutEntry(s, WidgetFamily::systemMedium, &measurer());
  EXPECT_THAT(shown(medium, s.byProvider[0].label), MatchesRegex("Disco.*…"));
  EXPECT_LE(textNode(medium, s.byProvider[0].label)->frame.width, 62.5);
  EXPECT_THAT(shown(medium, footer), MatchesRegex("Próx\\. copia.*…"));
  const auto large = layoutEntry(s, WidgetFamily::systemLarge, &measurer());
  EXPECT_THAT(shown(large, s.topRepos[0].name), MatchesRegex("copia.*….*2026"));

  // Read whole, each element inside the widget (the large layout's: the window's own test).
  std::vector<std::string> labels;
  for (const auto& element : ui::accessibilityTree(medium)) {
    labels.push_back((element.role == ui::AccessibilityRole::heading ? "#" : "") + element.label);
    const ui::Rect& f = element.frame;
    EXPECT_TRUE(f.width > 0 && f.x >= medium.frame.x && f.y >= medium.frame.y &&
                f.maxX() <= medium.frame.maxX() && f.maxY() <= medium.frame.maxY())
        << element.label;
  }
  EXPECT_EQ(labels,
            (std::vector<std::string>{
                "920,53 GB; 4 repos, 1 archivo; estado: en curso",
                "Disco externo de la oficina central, 512 GB",
                "Almacenamiento remoto cifrado, 307,2 GB", "Caja compartida del equipo, 101,33 GB",
                "Próximo backup: copia-de-seguridad-del-portátil-de-ana-2026, Cada noche a "
                "las tres, dentro de 16 horas"}));
}

// Rows with descending byte counts, or with `counts` (the first also the total) in both lists.
WidgetSnapshot withLists(std::size_t providers, std::size_t repos,
                         const std::vector<std::int64_t>& counts = {}) {
  WidgetSnapshot s = example();
  s.byProvider.clear();
  s.topRepos.clear();
  for (std::size_t i = 0; i < providers; ++i)
    s.byProvider.push_back({i % 2 ? "local" : "tarnBox", "proveedor " + std::to_string(i),
                            counts.empty() ? std::int64_t(providers - i) << 30 : counts[i]});
  for (std::size_t i = 0; i < repos; ++i)
    s.topRepos.push_back({"repositorio " + std::to_string(i), "tarnBase",
                          counts.empty() ? std::int64_t(repos - i) << 28 : counts[i]});
  if (!counts.empty()) s.totalUsageBytes = counts.front();
  return s;
}

// Whether a section's first row is shown; the rows shown must be its first ones.
template <typename Row>
bool expectLeadingRows(const std::vector<Row>& rows, std::string Row::*name,
                       const std::set<std::string>& shown) {
  std::size_t leading = 0;
  while (leading < rows.size() && shown.contains(rows[leading].*name))
    ++leading;
  for (std::size_t i = leading; i < rows.size(); ++i)
    EXPECT_FALSE(shown.contains(rows[i].*name)) << "shown after a missing row: " << rows[i].*name;
  return leading > 0;
}

void expectFits(const WidgetSnapshot& snapshot, WidgetFamily family, double scale) {
  const auto tree = layoutEntry(snapshot, family, &measurer(), scale);
  const auto size = host::familySize(family);
  const ui::Rect content{16, 16, size.width - 32, size.height - 32};

  // Nothing outside the content area, no two texts or images overlapping; the header and the
  // footer's icon 4 inside its top and bottom.
  double top = content.maxY();
  std::vector<const ui::PlacedNode*> drawn;
  for (const auto* node : findAll(tree, [](const ui::PlacedNode& node) {
         return node.children.empty() && node.kind != "Spacer" && node.kind != "EmptyView" &&
                node.frame.width > 0 && node.frame.height > 0;
       })) {
    const ui::Rect& f = node->frame;
    EXPECT_TRUE(f.x >= content.x - 0.5 && f.y >= content.y - 0.5 &&
                f.maxX() <= content.maxX() + 0.5 && f.maxY() <= content.maxY() + 0.5)
        << node->kind << " at " << f.x << "," << f.y << " " << f.width << "x" << f.height;
    top = std::min(top, f.y);
    if (node->kind != "Text" && node->kind != "Image") continue;
    for (const auto* other : drawn) {
      const ui::Rect& o = other->frame;
      EXPECT_TRUE(f.maxX() <= o.x + 0.5 || o.maxX() <= f.x + 0.5 || f.maxY() <= o.y + 0.5 ||
                  o.maxY() <= f.y + 0.5)
          << node->kind << " overlaps " << other->kind;
    }
    drawn.push_back(node);
  }
  EXPECT_DOUBLE_EQ(top, content.y + 4);
  EXPECT_NEAR(ofKind(tree, "Image").back()->frame.maxY(), content.maxY() - 4, 2.5);

  // Byte counts and counters keep to one line (give or take the frame's rounding to pixels),
  // and shrink to 70 % before they lose characters.
  const ByteCountFormatter bytes(widgetLocale());
  std::set<std::string> counts{bytes.string(snapshot.totalUsageBytes),
                               std::to_string(snapshot.repoCount)};
  if (snapshot.archiveCount > 0) counts.insert(std::to_string(snapshot.archiveCount));
  for (const auto& provider : snapshot.byProvider)
    counts.insert(bytes.string(provider.bytes));
  for (const auto& repo : snapshot.topRepos)
    counts.insert(bytes.string(repo.bytes));
  std::set<std::string> shown;
  for (const auto* node : ofKind(tree, "Text")) {
    const ui::PlacedText& text = *node->text;
    shown.insert({text.displayedText, text.spec.text});
    if (!counts.contains(text.spec.text)) continue;
    ui::TextSpec oneLine = text.spec;
    oneLine.lineLimit = 1;
    EXPECT_LE(node->frame.height,
              measurer().measure(oneLine, std::nullopt).size.height + 1 / scale + 1e-9)
        << text.spec.text;
    if (text.displayedText != text.spec.text) {
      EXPECT_LE(text.spec.pointSize, 0.7 * text.spec.font.size() + 1e-9) << text.spec.text;
    }
  }

  // A section's divider and title only above its first row; the donut only beside its
  // legend's first row, and its track alone when there is nothing to plot.
  const bool firstProvider =
      expectLeadingRows(snapshot.byProvider, &WidgetSnapshot::ProviderUsage::label, shown);
  const bool firstRepo =
      expectLeadingRows(snapshot.topRepos, &WidgetSnapshot::RepoUsage::name, shown);
  const auto dividers = ofKind(tree, "Divider");
  const auto titles = findAll(tree, [](const ui::PlacedNode& node) {
    return node.text && node.text->spec.text.starts_with("POR ");
  });
  ASSERT_EQ(dividers.size(), titles.size());
  for (std::size_t i = 0; i < titles.size(); ++i)
    EXPECT_LT(dividers[i]->frame.maxY(), titles[i]->frame.y);
  const bool hasChart = !ofKind(tree, "Chart").empty();
  EXPECT_TRUE(!hasChart || firstProvider);
  EXPECT_TRUE(!shown.contains("POR PROVEEDOR") || hasChart ||
              shown.contains("Abre Halyard para generar estadísticas"));
  EXPECT_TRUE(!shown.contains("POR REPOSITORIO") || firstRepo);
  const bool plotted =
      std::ranges::any_of(snapshot.byProvider, [](const auto& p) { return p.bytes > 0; });
  EXPECT_EQ(ofKind(tree, "ChartTrack").size(), hasChart && !plotted ? 1u : 0u);
  EXPECT_TRUE(plotted || ofKind(tree, "SectorMark").empty());
}

TEST(WidgetFits, EverySnapshotInBothFamiliesAtBothScales) {
  SCOPED_TRACE("locale " + widgetLocale());
  WidgetSnapshot counters = example();
  counters.repoCount = 1234567890123456789;
  counters.archiveCount = INT64_MAX;
  const std::pair<std::string, WidgetSnapshot> cases[] = {
      {"full", example()},
      {"no next backup", example("no-next-backup.json")},
      {"many", example("many.json")},
      {"long list", example("long-list.json")},
      {"long names", example("long-names.json")},
      {"12 providers, 4 repositories", withLists(12, 4)},
      {"13 providers, 4 repositories", withLists(13, 4)},
      {"12 repositories", withLists(3, 12)},
      {"40 repositories", withLists(2, 40)},
      {"odd byte counts", withLists(4, 4, {INT64_MIN, -1023, 1000, INT64_MAX})},
      {"19-digit counters", counters},
      {"all-zero providers", withLists(3, 3, {0, -5, 0})},
      {"placeholder", WidgetSnapshot::placeholder()},
  };
  for (const auto& [name, snapshot] : cases)
    for (auto family : {WidgetFamily::systemMedium, WidgetFamily::systemLarge})
      for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(name + (family == WidgetFamily::systemLarge ? ", large" : ", medium") + " @" +
                     std::to_string(static_cast<int>(scale)));
        expectFits(snapshot, family, scale);
      }
}

// Long lists cost only the rows shown: for 100 000 repositories a layout makes a few dozen.
TEST(WidgetFits, LongListsCostOnlyTheRowsShown) {
  const std::uint64_t before = ui::forEachRowsMade();
  const auto huge = layoutEntry(withLists(3, 100000), WidgetFamily::systemLarge, &measurer());
  EXPECT_LE(ui::forEachRowsMade() - before, 40u);
  EXPECT_NE(textNode(huge, "repositorio 0"), nullptr);
}

}  // namespace
}  // namespace halyard
