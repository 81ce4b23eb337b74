#include "timeline/halyard_widget_provider.hpp"

#include <gtest/gtest.h>

#include "snapshot/snapshot_file.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;

const Date kStart = Date{std::chrono::sys_days{std::chrono::year{2026} / 12 / 6}} + 15h + 42min;

// The entry is dated now, not by the snapshot; the reload is due after a fresh clock reading.
TEST(Provider, OneEntryDatedNowAndAReloadFifteenMinutesLater) {
  const auto file = loadSnapshot(testing::sourcePath("examples/full.json"));
  for (const bool calendarYieldsNothing : {false, true}) {
    for (const auto& loaded : {file, std::optional<WidgetSnapshot>()}) {
      int loads = 0;
      int clockReadings = 0;
      ProviderSeams seams = ProviderSeams::system();
      seams.loadSnapshot = [&] {
        ++loads;
        return loaded;
      };
      seams.now = [&] { return kStart + std::chrono::microseconds(clockReadings++); };
      if (calendarYieldsNothing)
        seams.addingMinutes = [](Date, int) { return std::optional<Date>(); };
      const auto timeline = makeTimeline(seams);
      ASSERT_EQ(timeline.entries.size(), 1u);
      EXPECT_EQ(loads, 1);
      EXPECT_EQ(timeline.entries[0].date, kStart);
      EXPECT_EQ(timeline.entries[0].snapshot, loaded.value_or(WidgetSnapshot::placeholder()));
      ASSERT_EQ(timeline.policy.kind(), host::TimelineReloadPolicy::Kind::after);
      EXPECT_EQ(*timeline.policy.date() - kStart,
                900s + std::chrono::microseconds(calendarYieldsNothing ? 2 : 1));
    }
  }
  // The calendar yields no date only past the last one a date can hold.
  EXPECT_FALSE(ProviderSeams::system().addingMinutes(Date::max() - 14min, 15).has_value());
}

}  // namespace
}  // namespace halyard
