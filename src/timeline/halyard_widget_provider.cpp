#include "timeline/halyard_widget_provider.hpp"

#include <limits>

#include "snapshot/snapshot_file.hpp"

namespace halyard {

namespace {

constexpr int kReloadMinutes = 15;
constexpr std::chrono::seconds kReloadFallback{900};

// Minutes added in the Gregorian calendar carry into hours and days as plain time does; the
// only way to get no date is to leave the range that a date can hold.
std::optional<Date> gregorianAddingMinutes(Date from, int minutes) {
  using std::chrono::microseconds;
  const auto delta = std::chrono::duration_cast<microseconds>(std::chrono::minutes(minutes));
  const auto limit = Date::max().time_since_epoch() - delta;
  if (delta.count() > 0 && from.time_since_epoch() > limit) return std::nullopt;
  return from + delta;
}

}  // namespace

ProviderSeams ProviderSeams::system() {
  return {[] { return halyard::loadSnapshot(); }, [] { return halyard::now(); },
          gregorianAddingMinutes};
}

HalyardWidgetEntry makeEntry(const ProviderSeams& seams) {
  std::optional<WidgetSnapshot> loaded = seams.loadSnapshot();
  WidgetSnapshot snapshot = loaded ? std::move(*loaded) : WidgetSnapshot::placeholder();
  return HalyardWidgetEntry{seams.now(), std::move(snapshot)};
}

host::Timeline<HalyardWidgetEntry> makeTimeline(const ProviderSeams& seams) {
  HalyardWidgetEntry entry = makeEntry(seams);
  // A fresh reading of the clock, taken after the entry was dated.
  std::optional<Date> reload = seams.addingMinutes(seams.now(), kReloadMinutes);
  if (!reload) reload = seams.now() + kReloadFallback;
  host::Timeline<HalyardWidgetEntry> timeline;
  timeline.entries.push_back(std::move(entry));
  timeline.policy = host::TimelineReloadPolicy::after(*reload);
  return timeline;
}

HalyardWidgetEntry HalyardWidgetProvider::placeholder(const host::TimelineProviderContext&) const {
  return HalyardWidgetEntry{now(), WidgetSnapshot::placeholder()};
}

void HalyardWidgetProvider::getSnapshot(const host::TimelineProviderContext&,
                                        const std::function<void(Entry)>& completion) const {
  completion(makeEntry(ProviderSeams::system()));
}

void HalyardWidgetProvider::getTimeline(
    const host::TimelineProviderContext&,
    const std::function<void(host::Timeline<Entry>)>& completion) const {
  completion(makeTimeline(ProviderSeams::system()));
}

}  // namespace halyard
