// What a user sees with the real measurer: long names, long lists and long numbers in both
// families, at scales 1 and 2. CTest runs the WidgetFits cases a second time in an English
// locale, whose grouped numbers ("1,000 bytes") are wider than the Spanish ones.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>

#include "platform/host/widget_family.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "view_test_support.hpp"

namespace halyard {
namespace {

using namespace testing;
using ui::WidgetFamily;

const render::PangoTextMeasurer& measurer() {
  static const render::PangoTextMeasurer instance;
  return instance;
}

TEST(TextFitting, LongNamesAreCutWhereEachSectionSays) {
  WidgetSnapshot s = example();
  s.byProvider[0].label = "Almacenamiento local del servidor principal";
  s.topRepos[0].name = "copia-de-seguridad-del-portatil-de-ana-2026";
  s.nextBackup->repoName = "copia-de-seguridad-del-portatil-de-ana-2026";
  s.nextBackup->scheduleName = "Cada noche a las tres";
  for (auto family : {WidgetFamily::systemMedium, WidgetFamily::systemLarge}) {
    const auto tree = layoutEntry(s, family, kEntryDate, &measurer());
    const auto* label = textNode(tree, s.byProvider[0].label);
    ASSERT_NE(label, nullptr);
    const std::string& cut = label->text->displayedText;
    if (family == WidgetFamily::systemMedium) {
      // Bars: 62 points, cut at the end.
      EXPECT_EQ(cut.substr(cut.size() - 3), "…") << cut;
      EXPECT_LE(label->frame.width, 62.5);
    }
    const auto* footer =
        textNode(tree, "Próx. " + s.nextBackup->repoName + " · " + s.nextBackup->scheduleName);
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->text->displayedText.rfind("Próx. copia", 0), 0u);
    EXPECT_EQ(footer->text->displayedText.substr(footer->text->displayedText.size() - 3), "…");
    expectNoOverlap(tree);
  }
  const auto large = layoutEntry(s, WidgetFamily::systemLarge, kEntryDate, &measurer());
  const auto* repo = textNode(large, s.topRepos[0].name);
  ASSERT_NE(repo, nullptr);
  const std::string& middle = repo->text->displayedText;
  EXPECT_EQ(middle.rfind("copia", 0), 0u) << middle;
  EXPECT_EQ(middle.substr(middle.size() - 4), "2026") << middle;
  EXPECT_NE(middle.find("…"), std::string::npos);
}

// ---- Long lists and long numbers ------------------------------------------------------------

WidgetSnapshot withLists(std::size_t providers, std::size_t repos) {
  WidgetSnapshot s = example();
  s.byProvider.clear();
  s.topRepos.clear();
  for (std::size_t i = 0; i < providers; ++i)
    s.byProvider.push_back({i % 2 ? "local" : "tarnBox", "proveedor " + std::to_string(i),
                            static_cast<std::int64_t>(providers - i) << 30});
  for (std::size_t i = 0; i < repos; ++i)
    s.topRepos.push_back({"repositorio " + std::to_string(i), "tarnBase",
                          static_cast<std::int64_t>(repos - i) << 28});
  return s;
}

WidgetSnapshot withCounts(std::vector<std::int64_t> counts) {
  WidgetSnapshot s = withLists(counts.size(), counts.size());
  for (std::size_t i = 0; i < counts.size(); ++i) {
    s.byProvider[i].bytes = counts[i];
    s.topRepos[i].bytes = counts[i];
  }
  s.totalUsageBytes = counts.front();
  return s;
}

struct FitCase {
  std::string name;
  WidgetSnapshot snapshot;
};

std::vector<FitCase> fitCases() {
  WidgetSnapshot counters = example();
  counters.repoCount = 1234567890123456789;
  counters.archiveCount = INT64_MAX;
  return {
      {"full", example()},
      {"no next backup", example("no-next-backup.json")},
      {"many", example("many.json")},
      {"long list", example("long-list.json")},
      {"12 providers, 4 repositories", withLists(12, 4)},
      {"13 providers, 4 repositories", withLists(13, 4)},
      {"12 repositories", withLists(3, 12)},
      {"40 repositories", withLists(2, 40)},
      {"odd byte counts", withCounts({INT64_MIN, -1023, 1000, INT64_MAX})},
      {"19-digit counters", counters},
      {"all-zero providers", withCounts({0, -5, 0})},
      {"placeholder", WidgetSnapshot::placeholder()},
  };
}

// The rows of a section that are shown are its first ones, in order: `shown` holds the
// section's texts that are in the tree, and must be a leading part of `all`.
void expectLeadingRows(const std::vector<std::string>& all, const std::set<std::string>& shown) {
  std::size_t count = 0;
  while (count < all.size() && shown.contains(all[count]))
    ++count;
  std::size_t present = 0;
  for (const auto& text : all)
    present += shown.contains(text) ? 1 : 0;
  EXPECT_EQ(present, count) << "rows shown out of order";
}

void expectFits(const WidgetSnapshot& snapshot, WidgetFamily family, double scale) {
  const auto tree = layoutEntry(snapshot, family, kEntryDate, &measurer(), scale);
  const auto size = host::familySize(family);
  const ui::Rect content{16, 16, size.width - 32, size.height - 32};
  const double slack = 0.5;

  // Nothing is drawn outside the content area; the header starts at its top (inside the
  // layouts' padding of 4), the footer's icon sits at its bottom.
  double top = content.maxY();
  for (const auto* node : findAll(tree, [](const ui::PlacedNode& node) {
         return node.children.empty() && node.kind != "Spacer" && node.kind != "EmptyView" &&
                node.frame.width > 0 && node.frame.height > 0;
       })) {
    EXPECT_GE(node->frame.x, content.x - slack) << node->kind;
    EXPECT_GE(node->frame.y, content.y - slack) << node->kind;
    EXPECT_LE(node->frame.maxX(), content.maxX() + slack) << node->kind;
    EXPECT_LE(node->frame.maxY(), content.maxY() + slack) << node->kind;
    top = std::min(top, node->frame.y);
  }
  EXPECT_DOUBLE_EQ(top, content.y + 4);
  EXPECT_NEAR(ofKind(tree, "Image").back()->frame.maxY(), content.maxY() - 4, 2.5);
  expectNoOverlap(tree);

  // Byte counts and counters keep to one line (give or take the rounding of the frame's
  // edges to pixels), and shrink as far as they may before they lose characters.
  const ByteCountFormatter bytes(widgetLocale());
  std::set<std::string> counts{bytes.string(snapshot.totalUsageBytes),
                               std::to_string(snapshot.repoCount)};
  if (snapshot.archiveCount > 0) counts.insert(std::to_string(snapshot.archiveCount));
  for (const auto& provider : snapshot.byProvider)
    counts.insert(bytes.string(provider.bytes));
  for (const auto& repo : snapshot.topRepos)
    counts.insert(bytes.string(repo.bytes));
  for (const auto* node : findAll(tree, [&](const ui::PlacedNode& node) {
         return node.text && counts.contains(node.text->spec.text);
       })) {
    ui::TextSpec oneLine = node->text->spec;
    oneLine.lineLimit = 1;
    EXPECT_LE(node->frame.height,
              measurer().measure(oneLine, std::nullopt).size.height + 1 / scale + 1e-9)
        << node->text->spec.text;
    if (node->text->displayedText != node->text->spec.text) {
      EXPECT_LE(node->text->spec.pointSize, 0.7 * node->text->spec.font.size() + 1e-9)
          << node->text->spec.text;
    }
  }

  // A section's divider and title stand only above at least its first row; the donut only
  // beside the first row of its legend, and its track when there is nothing to plot.
  const auto dividers = ofKind(tree, "Divider");
  std::vector<const ui::PlacedNode*> titles;
  for (const char* title : {"POR PROVEEDOR", "POR REPOSITORIO"}) {
    if (const auto* node = textNode(tree, title)) titles.push_back(node);
  }
  ASSERT_EQ(dividers.size(), titles.size());
  for (std::size_t i = 0; i < titles.size(); ++i)
    EXPECT_LT(dividers[i]->frame.maxY(), titles[i]->frame.y);
  std::set<std::string> shown;
  for (const auto& text : texts(tree))
    shown.insert(text);
  for (const auto* node : ofKind(tree, "Text"))
    shown.insert(node->text->spec.text);
  std::vector<std::string> labels, names;
  for (const auto& provider : snapshot.byProvider)
    labels.push_back(provider.label);
  for (const auto& repo : snapshot.topRepos)
    names.push_back(repo.name);
  expectLeadingRows(labels, shown);
  expectLeadingRows(names, shown);
  const bool hasChart = !ofKind(tree, "Chart").empty();
  if (hasChart) {
    EXPECT_TRUE(shown.contains(labels.front()));
  }
  if (textNode(tree, "POR PROVEEDOR")) {
    EXPECT_TRUE(hasChart || shown.contains("Abre Halyard para generar estadísticas"));
  }
  if (textNode(tree, "POR REPOSITORIO")) {
    EXPECT_TRUE(shown.contains(names.front()));
  }
  bool plotted = false;
  for (const auto& provider : snapshot.byProvider)
    plotted = plotted || provider.bytes > 0;
  EXPECT_EQ(ofKind(tree, "ChartTrack").size(), hasChart && !plotted ? 1u : 0u);
  if (hasChart && !plotted) {
    EXPECT_TRUE(ofKind(tree, "SectorMark").empty());
  }
}

TEST(WidgetFits, EverySnapshotInBothFamiliesAtBothScales) {
  SCOPED_TRACE("locale " + widgetLocale());
  for (const auto& c : fitCases()) {
    for (auto family : {WidgetFamily::systemMedium, WidgetFamily::systemLarge}) {
      for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(c.name + (family == WidgetFamily::systemLarge ? ", large" : ", medium") +
                     " @" + std::to_string(static_cast<int>(scale)));
        expectFits(c.snapshot, family, scale);
      }
    }
  }
}

// The long lists do give up rows: the large widget shows some repositories of 40, none of
// them with 13 providers, and the medium widget the first three providers at most. They cost
// only the rows shown: for 100 000 repositories a layout makes a few dozen rows.
TEST(WidgetFits, LongListsShowTheirFirstRows) {
  const std::uint64_t before = ui::forEachRowsMade();
  const auto huge =
      layoutEntry(withLists(3, 100000), WidgetFamily::systemLarge, kEntryDate, &measurer());
  EXPECT_LE(ui::forEachRowsMade() - before, 40u);
  EXPECT_NE(textNode(huge, "repositorio 0"), nullptr);

  const auto forty =
      layoutEntry(withLists(2, 40), WidgetFamily::systemLarge, kEntryDate, &measurer());
  EXPECT_NE(textNode(forty, "repositorio 0"), nullptr);
  EXPECT_EQ(textNode(forty, "repositorio 39"), nullptr);
  const auto crowded =
      layoutEntry(withLists(13, 4), WidgetFamily::systemLarge, kEntryDate, &measurer());
  EXPECT_EQ(textNode(crowded, "POR REPOSITORIO"), nullptr);
  EXPECT_EQ(ofKind(crowded, "Divider").size(), 1u);
  const auto medium =
      layoutEntry(withLists(13, 4), WidgetFamily::systemMedium, kEntryDate, &measurer());
  EXPECT_NE(textNode(medium, "proveedor 0"), nullptr);
  EXPECT_EQ(textNode(medium, "proveedor 3"), nullptr);
}

}  // namespace
}  // namespace halyard
