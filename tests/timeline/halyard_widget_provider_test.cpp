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

TEST(Provider, EntryCarriesTheFileAndIsDatedNowNotByTheSnapshot) {
  Script script;
  script.file = example();
  const HalyardWidgetEntry entry = makeEntry(script.seams());
  EXPECT_EQ(script.loads, 1);
  EXPECT_EQ(entry.snapshot, *script.file);
  EXPECT_EQ(entry.date, kStart);
  EXPECT_NE(entry.date, script.file->generatedAt);
}

TEST(Provider, NoSnapshotMeansThePlaceholder) {
  Script script;
  const HalyardWidgetEntry entry = makeEntry(script.seams());
  EXPECT_EQ(entry.snapshot, WidgetSnapshot::placeholder());
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

TEST(Provider, CompletionsAreCalledOnceBeforeReturningWhateverTheContext) {
  const HalyardWidgetProvider provider;
  for (const host::TimelineProviderContext& context :
       {host::TimelineProviderContext{host::WidgetFamily::systemMedium, false, {364, 170}},
        host::TimelineProviderContext{host::WidgetFamily::systemLarge, true, {364, 382}},
        host::TimelineProviderContext{host::WidgetFamily::systemSmall, true, {0, 0}}}) {
    int snapshotCalls = 0;
    provider.getSnapshot(context, [&](HalyardWidgetEntry) { ++snapshotCalls; });
    EXPECT_EQ(snapshotCalls, 1);
    int timelineCalls = 0;
    std::size_t entries = 0;
    provider.getTimeline(context, [&](host::Timeline<HalyardWidgetEntry> timeline) {
      ++timelineCalls;
      entries = timeline.entries.size();
    });
    EXPECT_EQ(timelineCalls, 1);
    EXPECT_EQ(entries, 1u);
    EXPECT_EQ(provider.placeholder(context).snapshot, WidgetSnapshot::placeholder());
  }
}

TEST(Provider, HostAsksThroughTheProtocol) {
  const HalyardWidgetProvider provider;
  const Date before = now();
  const auto timeline = host::askTimeline(provider, {});
  ASSERT_TRUE(timeline.has_value());
  EXPECT_GE(timeline->entries.at(0).date, before);
  EXPECT_GE(*timeline->policy.date() - timeline->entries[0].date, 900s);
  EXPECT_LT(*timeline->policy.date() - timeline->entries[0].date, 905s);
  EXPECT_FALSE(host::relevance(timeline->entries[0]).has_value());
  EXPECT_TRUE(host::askSnapshot(provider, {}).has_value());
}

}  // namespace
}  // namespace halyard
