#include "widget/halyard_widget_bundle.hpp"

#include <gtest/gtest.h>

#include "views/view_test_support.hpp"

namespace halyard {
namespace {

// Every entry the bundle gives, in every family, stands on a rounded tertiary fill.
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
      const auto backgrounds = testing::ofKind(tree, "ContainerBackground");
      ASSERT_EQ(backgrounds.size(), 1u);
      EXPECT_EQ(backgrounds[0]->shape->fill.style, ui::StyleName::tertiaryFill);
      const auto size = host::familySize(family);
      EXPECT_EQ(backgrounds[0]->frame, (ui::Rect{0, 0, size.width, size.height}));
      EXPECT_GT(backgrounds[0]->shape->cornerRadius, 0);
    }
  }
}

}  // namespace
}  // namespace halyard
