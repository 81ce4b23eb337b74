#include "widget/widget_content.hpp"

#include <utility>

#include "views/halyard_widget_entry_view.hpp"

namespace halyard {

ui::View widgetContent(HalyardWidgetEntry entry) {
  return HalyardWidgetEntryView(std::move(entry))
      .body()
      .containerBackground(ui::StyleName::tertiaryFill);
}

}  // namespace halyard
