#pragma once

#include "platform/host/timeline.hpp"
#include "snapshot/widget_snapshot.hpp"

namespace halyard {

// One timeline entry: the moment it is for (the time of the request) and the data to show.
struct HalyardWidgetEntry {
  Date date;
  WidgetSnapshot snapshot;

  bool operator==(const HalyardWidgetEntry&) const = default;
};

static_assert(host::TimelineEntry<HalyardWidgetEntry>);

}  // namespace halyard
