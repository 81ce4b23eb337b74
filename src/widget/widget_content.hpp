#pragma once

#include "platform/ui/view.hpp"
#include "timeline/halyard_widget_entry.hpp"

namespace halyard {

// What the widget draws for one entry: the entry view on the tertiary fill. The family comes
// from the environment the host lays it out in. The view keeps the entry: pass a temporary
// to spare a copy of a large snapshot.
ui::View widgetContent(HalyardWidgetEntry entry);

}  // namespace halyard
