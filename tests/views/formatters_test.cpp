#include "views/formatters.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "view_test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;

TEST(ByteCountFormatter, BinaryUnitsInTheLocalesNumbers) {
  const ByteCountFormatter bytes("es");
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0 bytes"},          {1, "1 byte"},         {1023, "1023 bytes"}, {1024, "1 KB"},
      {1536, "2 KB"},           // no fraction digits for KB
      {2560, "2 KB"},           // exactly 2,5: half to even
      {1048575, "1 MB"},        // rounds up into the next unit, not "1024 KB"
      {1310720, "1,2 MB"},      // exactly 1,25: half to even, the locale's separator
      {3355443200, "3,12 GB"},  // exactly 3,125: two fraction digits for GB, half to even
      {-1, "-1 byte"},         {-1572864, "-1,5 MB"}, {LLONG_MAX, "8 EB"},  {LLONG_MIN, "-8 EB"},
  };
  for (const auto& [count, expected] : cases)
    EXPECT_EQ(bytes.string(count), expected) << count;
  EXPECT_EQ(ByteCountFormatter("en_US").string(1572864), "1.5 MB");
}

TEST(RelativeDateFormatter, LargestWholeUnitOfTheCalendarDifference) {
  const RelativeDateFormatter relative("es");
  const Date reference = *parseRfc3339("2026-03-14T09:30:00Z");
  const std::pair<std::chrono::microseconds, const char*> cases[] = {
      {2h, "dentro de 2 h"},         {-3min, "hace 3 min"},
      {90min, "dentro de 1 h"},  // truncated, not rounded
      {119s, "dentro de 1 min"},     {0s, "dentro de 0 s"},
      {-500ms, "hace 0 s"},  // past and future always differ
      {24h * 8, "dentro de 1 sem."}, {-24h * 400, "hace 1 a"},
  };
  for (const auto& [offset, expected] : cases) {
    EXPECT_EQ(relative.string(reference + offset, reference), expected) << offset.count();
  }
}

// Renders on several threads at once: the shared formatters are created once, on first use,
// whichever render gets there first (run alone under ThreadSanitizer in CI).
TEST(SharedFormatters, ConcurrentFirstUseFromRenders) {
  WidgetSnapshot snapshot = WidgetSnapshot::placeholder();
  snapshot.totalUsageBytes = 1572864;
  snapshot.nextBackup =
      WidgetSnapshot::NextBackup{"fotos", "Diario", *parseRfc3339("2026-03-14T21:00:00Z")};
  std::vector<std::vector<std::string>> seen(6);
  std::vector<std::thread> threads;
  for (auto& texts : seen) {
    threads.emplace_back([&snapshot, &texts] {
      const ui::testing::FakeMeasurer measurer;  // one per thread: it counts its calls
      texts = testing::texts(testing::layoutEntry(snapshot, ui::WidgetFamily::systemMedium,
                                                  testing::kEntryDate, &measurer));
    });
  }
  for (auto& thread : threads)
    thread.join();
  for (const auto& texts : seen) {
    EXPECT_EQ(texts, seen.front());
    EXPECT_TRUE(testing::contains(texts, "1,5 MB"));
    EXPECT_TRUE(testing::contains(texts, "dentro de 11 h"));
  }
}

}  // namespace
}  // namespace halyard
