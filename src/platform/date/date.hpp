#pragma once
// Absolute points in time and their RFC 3339 text form, shared by the snapshot reader and
// the host.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// A point in time, independent of time zones, with microsecond resolution.
using Date = std::chrono::sys_time<std::chrono::microseconds>;

// The current time, read from the system clock.
Date now();

// Parses an RFC 3339 date-time with a zone designator ("Z", "z" or "±hh:mm"), such as
// 2026-03-14T09:30:00Z or 2026-03-14T11:30:00.25+02:00. Fractional seconds are accepted
// (digits past microseconds are dropped). Impossible dates, hour 24, a missing zone or any
// other form yield nothing.
std::optional<Date> parseRfc3339(std::string_view text);

enum class DatePrecision { seconds, milliseconds, microseconds };

// Writes a date in UTC: whole seconds (2026-03-14T09:30:00Z), with milliseconds
// (2026-03-14T09:30:00.123Z) or with microseconds (2026-03-14T09:30:00.123456Z). Digits
// past the precision are truncated towards the past.
std::string formatRfc3339(Date date, DatePrecision precision);
inline std::string formatRfc3339(Date date, bool milliseconds = false) {
  return formatRfc3339(date, milliseconds ? DatePrecision::milliseconds : DatePrecision::seconds);
}

}  // namespace halyard
