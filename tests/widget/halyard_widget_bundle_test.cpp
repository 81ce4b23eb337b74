#include "widget/halyard_widget_bundle.hpp"

#include <gtest/gtest.h>

#include "platform/host/widget_renderer.hpp"
#include "platform/ui/fake_measurer.hpp"

namespace halyard {
namespace {

TEST(Bundle, DeclaresTheOverviewWidget) {
  const auto widgets = HalyardWidgetBundle().body();
  ASSERT_EQ(widgets.size(), 1u);
  EXPECT_EQ(widgets[0].kind, "HalyardOverviewWidget");
  EXPECT_EQ(widgets[0].kind, HalyardOverviewWidget().kind);
  EXPECT_EQ(widgets[0].displayName, "Halyard");
  EXPECT_EQ(widgets[0].description, "Resumen de uso y próximo backup programado.");
  EXPECT_EQ(widgets[0].families,
            (std::vector<host::WidgetFamily>{host::WidgetFamily::systemMedium,
                                             host::WidgetFamily::systemLarge}));
  const auto configuration = HalyardOverviewWidget().body();
  EXPECT_EQ(configuration.displayNameKey(), "Halyard");
  EXPECT_EQ(configuration.kind(), "HalyardOverviewWidget");
}

TEST(Bundle, EveryDrawnEntryHasTheTertiaryFillBehindIt) {
  const ui::testing::FakeMeasurer measurer;
  const auto widget = HalyardWidgetBundle().body().front();
  for (auto family : widget.families) {
    const host::TimelineProviderContext context{family, false, host::familySize(family)};
    for (const host::HostEntry& entry : {widget.placeholder(context), *widget.snapshot(context),
                                         widget.timeline(context)->entries.at(0)}) {
      host::WidgetRenderSettings settings;
      settings.family = family;
      const ui::PlacedNode tree = host::layoutWidget(entry.view(), settings, measurer);
      const ui::PlacedNode* background = nullptr;
      std::function<void(const ui::PlacedNode&)> find = [&](const ui::PlacedNode& node) {
        if (node.kind == "ContainerBackground") background = &node;
        for (const auto& child : node.children)
          find(child);
      };
      find(tree);
      ASSERT_NE(background, nullptr);
      EXPECT_EQ(background->shape->fill.style, ui::StyleName::tertiaryFill);
      const auto size = host::familySize(family);
      EXPECT_EQ(background->frame, (ui::Rect{0, 0, size.width, size.height}));
      EXPECT_GT(background->shape->cornerRadius, 0);
    }
  }
}

}  // namespace
}  // namespace halyard
