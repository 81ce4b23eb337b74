#pragma once
// The two formatters every section shares: byte counts and relative dates, in the user's
// locale (Spanish where the locale is C, POSIX or unset).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/date/date.hpp"

namespace halyard {

// The locale the widget formats in: the user's (LC_ALL, LC_MESSAGES, LANG, as ICU reads
// them), or Spanish where that is C, POSIX or unset.
std::string widgetLocale();

// Byte counts in 1024-based units: "1 byte", "N bytes", then KB, MB, GB, TB, PB, EB. No
// fraction digits for bytes and KB, at most 1 for MB, at most 2 above, rounded half to even,
// trailing zeros dropped; numbers as the locale writes them (Spanish: "1,5 MB"). Negative
// counts keep their sign and take the unit of their magnitude; every 64-bit count prints.
class ByteCountFormatter {
 public:
  explicit ByteCountFormatter(const std::string& locale);
  ~ByteCountFormatter();
  ByteCountFormatter(const ByteCountFormatter&) = delete;
  ByteCountFormatter& operator=(const ByteCountFormatter&) = delete;

  std::string string(std::int64_t byteCount) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// How a relative date is worded: abbreviated for the eye ("dentro de 2 h"), in full for the
// ear ("dentro de 2 horas").
enum class RelativeDateStyle { abbreviated, full };

// The distance from a reference date to a date as a phrase ("dentro de 2 h", "hace 3 min"). The
// unit is the largest non-zero one among years, months, weeks, days, hours, minutes and seconds of
// the calendar difference, truncated, not rounded.
class RelativeDateFormatter {
 public:
  explicit RelativeDateFormatter(const std::string& locale,
                                 RelativeDateStyle style = RelativeDateStyle::abbreviated);
  ~RelativeDateFormatter();
  RelativeDateFormatter(const RelativeDateFormatter&) = delete;
  RelativeDateFormatter& operator=(const RelativeDateFormatter&) = delete;

  std::string string(Date date, Date reference) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace halyard
