#include "timeline/halyard_widget_provider.hpp"

#include <gtest/gtest.h>

#include "snapshot/snapshot_file.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;

const Date kStart = Date{std::chrono::sys_days{std::chrono::year{2026} / 12 / 6}} + 15h + 42min;

// Seams with a scripted snapshot, a clock that moves 1 µs per reading and the real calendar.
struct Script {
  std::optional<WidgetSnapshot> file;
  int loads = 0;
  int clockReadings = 0;
  bool calendarYieldsNothing = false;

  ProviderSeams seams() {
    ProviderSeams s = ProviderSeams::system();
    s.loadSnapshot = [this] {
      ++loads;
      return file;
    };
    s.now = [this] { return kStart + std::chrono::microseconds(clockReadings++); };
    if (calendarYieldsNothing) {
      s.addingMinutes = [](Date, int) { return std::optional<Date>(); };
    }
    return s;
  }
};

WidgetSnapshot example() {
  return *loadSnapshot(testing::sourcePath("examples/full.json"));
}

// The entry carries the file (or the placeholder without one) and is dated now, not by the
// snapshot.
TEST(Provider, EntryCarriesTheFileAndIsDatedNowNotByTheSnapshot) {
  Script script;
  script.file = example();
  const HalyardWidgetEntry entry = makeEntry(script.seams());
  EXPECT_EQ(script.loads, 1);
  EXPECT_EQ(entry.snapshot, *script.file);
  EXPECT_EQ(entry.date, kStart);
  Script none;
  EXPECT_EQ(makeEntry(none.seams()).snapshot, WidgetSnapshot::placeholder());
}

TEST(Provider, TimelineHasOneEntryAndReloadsFifteenMinutesAfterTheRequest) {
  for (bool calendarYieldsNothing : {false, true}) {
    Script script;
    script.file = example();
    script.calendarYieldsNothing = calendarYieldsNothing;
    const auto timeline = makeTimeline(script.seams());
    ASSERT_EQ(timeline.entries.size(), 1u);
    EXPECT_EQ(timeline.entries[0].date, kStart);
    EXPECT_EQ(script.loads, 1);
    ASSERT_EQ(timeline.policy.kind(), host::TimelineReloadPolicy::Kind::after);
    // A fresh clock reading after the entry was dated (and one more for the fallback).
    const Date reload = *timeline.policy.date();
    EXPECT_EQ(reload - kStart, 900s + std::chrono::microseconds(calendarYieldsNothing ? 2 : 1));
  }
}

// Through the host's protocol: each completion called once, whatever the context.
TEST(Provider, HostAsksThroughTheProtocol) {
  const HalyardWidgetProvider provider;
  for (const host::TimelineProviderContext& context :
       {host::TimelineProviderContext{host::WidgetFamily::systemMedium, false, {364, 170}},
        host::TimelineProviderContext{host::WidgetFamily::systemSmall, true, {0, 0}}}) {
    const Date before = now();
    const auto timeline = host::askTimeline(provider, context);
    ASSERT_TRUE(timeline.has_value());
    ASSERT_EQ(timeline->entries.size(), 1u);
    EXPECT_GE(timeline->entries[0].date, before);
    EXPECT_GE(*timeline->policy.date() - timeline->entries[0].date, 900s);
    EXPECT_LT(*timeline->policy.date() - timeline->entries[0].date, 905s);
    EXPECT_FALSE(host::relevance(timeline->entries[0]).has_value());
    EXPECT_TRUE(host::askSnapshot(provider, context).has_value());
    EXPECT_EQ(provider.placeholder(context).snapshot, WidgetSnapshot::placeholder());
  }
}

}  // namespace
}  // namespace halyard
