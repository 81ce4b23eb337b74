#include "platform/date/date.hpp"

#include <cstdio>

namespace halyard {

namespace {

using namespace std::chrono;

// Reads exactly `count` ASCII digits at `pos`, advancing it.
bool readDigits(std::string_view text, std::size_t& pos, int count, int& value) {
  if (pos + static_cast<std::size_t>(count) > text.size()) return false;
  value = 0;
  for (int i = 0; i < count; ++i) {
    const char c = text[pos + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += static_cast<std::size_t>(count);
  return true;
}

bool expect(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

Date now() {
  return floor<microseconds>(system_clock::now());
}

std::optional<Date> parseRfc3339(std::string_view text) {
  std::size_t pos = 0;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!readDigits(text, pos, 4, y) || !expect(text, pos, '-') || !readDigits(text, pos, 2, mo) ||
      !expect(text, pos, '-') || !readDigits(text, pos, 2, d)) {
    return std::nullopt;
  }
  if (pos >= text.size() || (text[pos] != 'T' && text[pos] != 't')) return std::nullopt;
  ++pos;
  if (!readDigits(text, pos, 2, h) || !expect(text, pos, ':') || !readDigits(text, pos, 2, mi) ||
      !expect(text, pos, ':') || !readDigits(text, pos, 2, s)) {
    return std::nullopt;
  }

  // Fractional seconds: one digit or more; digits past microseconds are dropped.
  std::int64_t micros = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      if (digits < 6) micros = micros * 10 + (text[pos] - '0');
      ++digits;
      ++pos;
    }
    if (digits == 0) return std::nullopt;
    for (int i = digits; i < 6; ++i)
      micros *= 10;
  }

  // Zone designator.
  int offsetMinutes = 0;
  if (pos >= text.size()) return std::nullopt;
  if (text[pos] == 'Z' || text[pos] == 'z') {
    ++pos;
  } else if (text[pos] == '+' || text[pos] == '-') {
    const int sign = text[pos] == '-' ? -1 : 1;
    ++pos;
    int oh = 0, om = 0;
    if (!readDigits(text, pos, 2, oh) || !expect(text, pos, ':') || !readDigits(text, pos, 2, om))
      return std::nullopt;
    if (oh > 23 || om > 59) return std::nullopt;
    offsetMinutes = sign * (oh * 60 + om);
  } else {
    return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;

  // Leap seconds (60) are refused like any other out-of-range field.
  const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)},
                           day{static_cast<unsigned>(d)}};
  if (!ymd.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;

  const auto local = sys_days{ymd} + hours{h} + minutes{mi} + seconds{s} + microseconds{micros};
  return Date{local - minutes{offsetMinutes}};
}

std::string formatRfc3339(Date date, DatePrecision precision) {
  const auto dayPoint = floor<days>(date);
  const year_month_day ymd{dayPoint};
  const hh_mm_ss<microseconds> time{date - dayPoint};
  char buffer[64];
  const int year = static_cast<int>(ymd.year());
  const int written = std::snprintf(
      buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d", year,
      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
      static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
      static_cast<int>(time.seconds().count()));
  std::string out(buffer, written > 0 ? static_cast<std::size_t>(written) : 0);
  if (precision == DatePrecision::milliseconds) {
    std::snprintf(buffer, sizeof buffer, ".%03d",
                  static_cast<int>(duration_cast<milliseconds>(time.subseconds()).count()));
    out += buffer;
  } else if (precision == DatePrecision::microseconds) {
    std::snprintf(buffer, sizeof buffer, ".%06lld",
                  static_cast<long long>(time.subseconds().count()));
    out += buffer;
  }
  out += 'Z';
  return out;
}

}  // namespace halyard
