#include "widget/widget_content.hpp"

#include "views/halyard_widget_entry_view.hpp"

namespace halyard {

ui::View widgetContent(const HalyardWidgetEntry& entry) {
  return HalyardWidgetEntryView(entry).body().containerBackground(ui::StyleName::tertiaryFill);
}

}  // namespace halyard
