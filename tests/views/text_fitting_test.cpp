// Text fitting with the real measurer: what a user sees with long names.
#include <gtest/gtest.h>

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

TEST(TextFitting, EveryExampleFitsWithoutOverlapInBothFamilies) {
  for (const char* name : {"full.json", "no-next-backup.json", "many.json"}) {
    for (auto family : {WidgetFamily::systemMedium, WidgetFamily::systemLarge}) {
      SCOPED_TRACE(name);
      expectNoOverlap(layoutEntry(example(name), family, kEntryDate, &measurer()));
    }
  }
}

}  // namespace
}  // namespace halyard
