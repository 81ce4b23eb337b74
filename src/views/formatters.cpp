#include "views/formatters.hpp"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/reldatefmt.h>

#include <array>
#include <cmath>
#include <cstring>

namespace halyard {

namespace {

std::string toUtf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

}  // namespace

std::string widgetLocale() {
  const icu::Locale& user = icu::Locale::getDefault();
  const std::string name = user.getName();
  const std::string language = user.getLanguage();
  // ICU names the C and POSIX locales en_US_POSIX; an unset environment gives the same.
  if (name.empty() || language.empty() || std::strcmp(user.getVariant(), "POSIX") == 0 ||
      name == "c" || name == "C" || language == "root") {
    return "es";
  }
  return name;
}

// ---------------------------------------------------------------------------------------------

struct ByteCountFormatter::Impl {
  // One number formatter per count of fraction digits: 0 (bytes, KB), 1 (MB), 2 (GB and up).
  std::array<icu::number::LocalizedNumberFormatter, 3> numbers;
};

ByteCountFormatter::ByteCountFormatter(const std::string& locale) : impl_(new Impl) {
  const icu::Locale where(locale.c_str());
  for (int digits = 0; digits < 3; ++digits) {
    impl_->numbers[static_cast<std::size_t>(digits)] =
        icu::number::NumberFormatter::withLocale(where)
            .precision(icu::number::Precision::maxFraction(digits))
            .roundingMode(UNUM_ROUND_HALFEVEN)
            .grouping(UNUM_GROUPING_AUTO);
    // ICU compiles a formatter on one of its first uses; doing that here, while the
    // formatter is still this thread's alone, leaves nothing to change once it is shared.
    for (int warm = 0; warm < 4; ++warm) {
      UErrorCode status = U_ZERO_ERROR;
      impl_->numbers[static_cast<std::size_t>(digits)].formatDouble(1.5, status);
    }
  }
}

ByteCountFormatter::~ByteCountFormatter() = default;

std::string ByteCountFormatter::string(std::int64_t byteCount) const {
  static constexpr std::array<const char*, 7> kUnits{"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
  // The magnitude as an unsigned number, so that the smallest 64-bit value has one too.
  const bool negative = byteCount < 0;
  const std::uint64_t magnitude =
      negative ? ~static_cast<std::uint64_t>(byteCount) + 1 : static_cast<std::uint64_t>(byteCount);

  std::size_t unit = 0;
  while (unit + 1 < kUnits.size() && magnitude >= (std::uint64_t{1} << (10 * (unit + 1))))
    ++unit;

  UErrorCode status = U_ZERO_ERROR;
  for (;;) {
    const std::size_t digits = unit <= 1 ? 0 : (unit == 2 ? 1 : 2);
    const double scaled = std::ldexp(static_cast<double>(magnitude), -10 * static_cast<int>(unit));
    // A count just under a unit's boundary rounds up to 1024 of the smaller unit: show it in
    // the next unit instead ("1 MB", not "1024 KB").
    const double rounded = std::nearbyint(scaled * std::pow(10.0, digits)) / std::pow(10.0, digits);
    if (rounded >= 1024 && unit + 1 < kUnits.size()) {
      ++unit;
      continue;
    }
    const auto formatted = impl_->numbers[digits].formatDouble(negative ? -scaled : scaled, status);
    std::string number = U_SUCCESS(status) ? toUtf8(formatted.toString(status)) : std::string();
    if (U_FAILURE(status)) number = std::to_string(byteCount);
    const char* label = (unit == 0 && magnitude == 1) ? "byte" : kUnits[unit];
    return number + " " + label;
  }
}

// ---------------------------------------------------------------------------------------------

struct RelativeDateFormatter::Impl {
  icu::Locale locale;
  std::unique_ptr<icu::RelativeDateTimeFormatter> formatter;
};

RelativeDateFormatter::RelativeDateFormatter(const std::string& locale, RelativeDateStyle style)
    : impl_(new Impl) {
  impl_->locale = icu::Locale(locale.c_str());
  UErrorCode status = U_ZERO_ERROR;
  impl_->formatter = std::make_unique<icu::RelativeDateTimeFormatter>(
      impl_->locale, nullptr,
      style == RelativeDateStyle::full ? UDAT_STYLE_LONG : UDAT_STYLE_NARROW,
      UDISPCTX_CAPITALIZATION_NONE, status);
  if (U_FAILURE(status)) {
    impl_->formatter.reset();
    return;
  }
  // As for byte counts: let ICU compile its number formatting before the formatter is shared.
  for (int warm = 0; warm < 4; ++warm) {
    icu::UnicodeString ignored;
    status = U_ZERO_ERROR;
    impl_->formatter->formatNumeric(2, UDAT_REL_UNIT_HOUR, ignored, status);
  }
}

RelativeDateFormatter::~RelativeDateFormatter() = default;

std::string RelativeDateFormatter::string(Date date, Date reference) const {
  struct Step {
    UCalendarDateFields field;
    URelativeDateTimeUnit unit;
  };
  static constexpr std::array<Step, 7> kSteps{{
      {UCAL_YEAR, UDAT_REL_UNIT_YEAR},
      {UCAL_MONTH, UDAT_REL_UNIT_MONTH},
      {UCAL_WEEK_OF_YEAR, UDAT_REL_UNIT_WEEK},
      {UCAL_DATE, UDAT_REL_UNIT_DAY},
      {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR},
      {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE},
      {UCAL_SECOND, UDAT_REL_UNIT_SECOND},
  }};
  using std::chrono::milliseconds;
  const auto toUDate = [](Date d) {
    return static_cast<UDate>(
        std::chrono::duration_cast<milliseconds>(d.time_since_epoch()).count());
  };
  const bool past = date < reference;

  UErrorCode status = U_ZERO_ERROR;
  // A calendar per call: calendars are not safe to share between threads.
  std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(impl_->locale, status));
  double amount = 0;
  URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
  if (U_SUCCESS(status)) {
    calendar->setTime(toUDate(reference), status);
    // fieldDifference moves the calendar by the whole units it counts, so each step measures
    // what the larger units left over.
    for (const Step& step : kSteps) {
      const int32_t difference = calendar->fieldDifference(toUDate(date), step.field, status);
      if (U_FAILURE(status)) break;
      if (difference != 0) {
        amount = difference;
        unit = step.unit;
        break;
      }
    }
  }
  if (!impl_->formatter || U_FAILURE(status)) return {};

  // Less than a second ago is still in the past.
  if (amount == 0 && past) amount = -0.0;
  icu::UnicodeString out;
  status = U_ZERO_ERROR;
  impl_->formatter->formatNumeric(amount, unit, out, status);
  return U_SUCCESS(status) ? toUtf8(out) : std::string();
}

}  // namespace halyard
