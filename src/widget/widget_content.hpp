#pragma once

#include "platform/ui/view.hpp"
#include "timeline/halyard_widget_entry.hpp"

namespace halyard {

// What the widget draws for one entry: the entry view on the tertiary fill. The family comes
// from the environment the host lays it out in.
ui::View widgetContent(const HalyardWidgetEntry& entry);

}  // namespace halyard
