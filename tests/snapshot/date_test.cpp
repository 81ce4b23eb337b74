#include "platform/date/date.hpp"

#include <gtest/gtest.h>

namespace halyard {
namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0, int us = 0) {
  return Date{sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{mi} + seconds{s} +
              microseconds{us}};
}

TEST(Rfc3339, AcceptsDateTimesWithAZone) {
  const std::pair<const char*, Date> cases[] = {
      {"2026-03-14T09:30:00Z", utc(2026, 3, 14, 9, 30)},
      {"2026-03-14t09:30:00z", utc(2026, 3, 14, 9, 30)},
      {"2026-03-14T11:30:00+02:00", utc(2026, 3, 14, 9, 30)},
      {"2026-03-14T00:30:00-10:15", utc(2026, 3, 14, 10, 45)},
      {"2026-03-14T09:30:00.5Z", utc(2026, 3, 14, 9, 30, 0, 500000)},
      {"2026-03-14T09:30:00.123456789Z", utc(2026, 3, 14, 9, 30, 0, 123456)},
      {"2024-02-29T23:59:59Z", utc(2024, 2, 29, 23, 59, 59)},
      {"2026-12-31T23:30:00-01:00", utc(2027, 1, 1, 0, 30)},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parseRfc3339(text), expected) << text;
}

TEST(Rfc3339, RefusesEverythingElse) {
  const char* const refused[] = {
      // Not a date-time with a zone.
      "", "1773480600", "2026-03-14", "2026-03-14T09:30:00", "2026-03-14T09:30Z",
      "26-03-14T09:30:00Z", "2026-3-14T09:30:00Z", "2026-03-14 09:30:00Z",
      // A field out of range.
      "2026-02-30T09:30:00Z", "2025-02-29T09:30:00Z", "2026-13-01T00:00:00Z",
      "2026-03-14T24:00:00Z", "2026-03-14T09:60:00Z", "2026-03-14T09:30:60Z",
      // A malformed fraction or offset, or anything around the date-time.
      "2026-03-14T09:30:00.Z", "2026-03-14T09:30:00+0200", "2026-03-14T09:30:00+24:00",
      "2026-03-14T09:30:00+02", "2026-03-14T09:30:00Z ", " 2026-03-14T09:30:00Z"};
  for (const char* text : refused) {
    EXPECT_FALSE(parseRfc3339(text).has_value()) << '"' << text << '"';
  }
}

TEST(Rfc3339, FormatsInUtcWithSecondsOrMilliseconds) {
  const Date date = utc(2026, 12, 6, 15, 42, 38, 123987);
  EXPECT_EQ(formatRfc3339(date), "2026-12-06T15:42:38Z");
  EXPECT_EQ(formatRfc3339(date, true), "2026-12-06T15:42:38.123Z");
  EXPECT_EQ(formatRfc3339(date, DatePrecision::microseconds), "2026-12-06T15:42:38.123987Z");
  EXPECT_EQ(parseRfc3339(formatRfc3339(date, DatePrecision::microseconds)), date);
  EXPECT_EQ(formatRfc3339(utc(1969, 12, 31, 23, 59, 59, 999000), true), "1969-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace halyard
