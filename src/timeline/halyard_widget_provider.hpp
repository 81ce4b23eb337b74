#pragma once
// The only code the host calls for content. Stateless: every snapshot and timeline request
// reads the snapshot file afresh; the context is never consulted.

#include <functional>
#include <optional>

#include "platform/host/timeline.hpp"
#include "timeline/halyard_widget_entry.hpp"

namespace halyard {

class HalyardWidgetProvider {
 public:
  using Entry = HalyardWidgetEntry;

  // Now and the placeholder snapshot; never reads the file.
  Entry placeholder(const host::TimelineProviderContext& context) const;
  // Now and the snapshot file's data (the placeholder when there is none), through
  // `completion`, called once before returning.
  void getSnapshot(const host::TimelineProviderContext& context,
                   const std::function<void(Entry)>& completion) const;
  // One entry as getSnapshot builds it, and a reload 15 minutes ahead.
  void getTimeline(const host::TimelineProviderContext& context,
                   const std::function<void(host::Timeline<Entry>)>& completion) const;
};

static_assert(host::TimelineProvider<HalyardWidgetProvider>);

// What the provider's answers are made of, as seams for tests: where the snapshot comes from,
// what time it is, and the calendar that adds minutes to a date (it may yield no date).
struct ProviderSeams {
  std::function<std::optional<WidgetSnapshot>()> loadSnapshot;
  std::function<Date()> now;
  std::function<std::optional<Date>(Date from, int minutes)> addingMinutes;

  // The real ones: the snapshot file, the system clock, the Gregorian calendar.
  static ProviderSeams system();
};

HalyardWidgetEntry makeEntry(const ProviderSeams& seams);
host::Timeline<HalyardWidgetEntry> makeTimeline(const ProviderSeams& seams);

}  // namespace halyard
