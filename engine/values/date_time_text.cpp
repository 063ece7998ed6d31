#include "engine/values/date_time_text.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <tuple>

#include "engine/values/decimal_text.h"
#include "engine/values/number_text.h"

namespace tollamer {
namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool DateInRange(const DateTimeParts& p, CalendarDate first, CalendarDate last) {
  auto key = [](int y, int m, int d) { return std::make_tuple(y, m, d); };
  return key(p.year, p.month, p.day) >= key(first.year, first.month, first.day) &&
         key(p.year, p.month, p.day) <= key(last.year, last.month, last.day);
}

bool TimeOfDayValid(const DateTimeParts& p) {
  return p.hour >= 0 && p.hour <= 23 && p.minute >= 0 && p.minute <= 59 && p.second >= 0 &&
         p.second <= 59;
}

// Appends v with at least `width` digits ("%0*d"); negative values keep
// their sign in front of the zeros, as printf does.
void AppendPadded(std::string& out, int64_t v, int width) {
  // The usual parts (a 4-digit year, 2-digit month to second) digit by digit.
  constexpr std::array<int64_t, 5> kLimit = {1, 10, 100, 1000, 10000};
  if (v >= 0 && width >= 1 && width <= 4 && v < kLimit[width]) {
    char fixed[4];
    out.append(fixed, PutFixedDigits(fixed, static_cast<uint64_t>(v), width));
    return;
  }
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, v < 0 ? -v : v).ptr;
  int count = static_cast<int>(end - digits);
  if (v < 0) {
    out += '-';
    --width;
  }
  for (int i = count; i < width; ++i) out += '0';
  out.append(digits, end);
}

}  // namespace

std::string CalendarText(CalendarDate d) {
  std::string text;
  text.reserve(10);
  AppendPadded(text, d.year, 4);
  text += '-';
  AppendPadded(text, d.month, 2);
  text += '-';
  AppendPadded(text, d.day, 2);
  return text;
}

std::string TimeOfDayText(const TimeOfDay& t, uint8_t scale) {
  if (scale > kMaxTimeScale) scale = kMaxTimeScale;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%02llu:%02llu:%02llu.%0*llu",
                static_cast<unsigned long long>(t.hours), static_cast<unsigned long long>(t.minutes),
                static_cast<unsigned long long>(t.seconds), static_cast<int>(scale),
                static_cast<unsigned long long>(t.fraction));
  return buf;
}

namespace {

// "%04d-%02d-%02d %02d:%02d" of the parts.
std::string CalendarMinuteText(const DateTimeParts& p) {
  std::string text = CalendarText({p.year, p.month, p.day});
  text += ' ';
  AppendPadded(text, p.hour, 2);
  text += ':';
  AppendPadded(text, p.minute, 2);
  return text;
}

}  // namespace

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from the start of year 0 of the proleptic Gregorian calendar to the
// start of year y (any sign).
int64_t DaysBeforeYear(int64_t y) {
  int64_t before = y - 1;
  return 365 * y + FloorDiv(before, 4) - FloorDiv(before, 100) + FloorDiv(before, 400) + 1;
}

}  // namespace

namespace {

// Beyond this many days from the start year (2.7 million years) the date is
// found by whole 400-year cycles; within it directly.
constexpr int64_t kDirectDays = 1'000'000'000;

// Days from 1970-01-01 to January 1 of year y in the proleptic Gregorian
// calendar (eras of 400 years).
int64_t DaysToYearStart(int64_t y) {
  y -= 1;  // January counts with the year before: the era starts on March 1
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + 306;  // March 1 to January 1: 306 days
  return era * 146097 + doe - 719468;
}

}  // namespace

namespace {

// Within about 32,000 years of 1970 the date is found with 32-bit
// arithmetic: the count is moved by 82 whole 400-year eras so that it is
// never negative, and the century, the year of the century and the day of
// the year come from multiplications instead of divisions (Neri and
// Schneider's Euclidean affine forms; the year starts on March 1).
constexpr int64_t kShiftEras = 82;
constexpr int64_t kShiftDays = 719468 + 146097 * kShiftEras;  // to 0000-03-01, 82 eras back
constexpr int64_t kShortRange = 12'000'000;

CalendarDate ShortRangeCivilDate(int64_t days) {
  const uint32_t n = static_cast<uint32_t>(days + kShiftDays);
  const uint32_t n1 = 4 * n + 3;
  const uint32_t century = n1 / 146097;
  const uint32_t day_of_century = n1 % 146097 / 4;
  const uint64_t p2 = uint64_t{2939745} * (4 * day_of_century + 3);
  const uint32_t year_of_century = static_cast<uint32_t>(p2 >> 32);
  const uint32_t day_of_year = static_cast<uint32_t>(p2) / 2939745 / 4;  // from March 1
  const uint32_t n3 = 2141 * day_of_year + 197913;
  const uint32_t month = n3 >> 16;  // 3 to 14
  const uint32_t day = (n3 & 0xFFFF) / 2141;
  const bool jan_feb = day_of_year >= 306;  // January and February end the March year
  return {static_cast<int>(100 * century + year_of_century) -
              static_cast<int>(400 * kShiftEras) + (jan_feb ? 1 : 0),
          static_cast<int>(jan_feb ? month - 12 : month), static_cast<int>(day + 1)};
}

}  // namespace

CalendarDate CivilDate(int64_t days) {
  if (days > -kShortRange && days < kShortRange) return ShortRangeCivilDate(days);
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

CalendarDate DaysToDate(int start_year, int64_t days) {
  if (days > -kDirectDays && days < kDirectDays)
    return CivilDate(DaysToYearStart(start_year) + days);
  constexpr int64_t kDaysPer400Years = 146097;
  // Whole 400-year cycles first (each holds the same number of days), so a
  // damaged day count stays small; then the year is found arithmetically.
  int64_t year = start_year + 400 * (days / kDaysPer400Years);
  days %= kDaysPer400Years;
  const int64_t target = DaysBeforeYear(year) + days;
  year += FloorDiv(days * 400, kDaysPer400Years);
  while (DaysBeforeYear(year) > target) --year;
  while (DaysBeforeYear(year + 1) <= target) ++year;
  int64_t day_of_year = target - DaysBeforeYear(year);
  static constexpr int kCumulative[2][13] = {
      {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
      {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};
  const int* cumulative = kCumulative[IsLeapYear(static_cast<int>(year)) ? 1 : 0];
  int month = 1;
  while (month < 12 && day_of_year >= cumulative[month]) ++month;
  return {static_cast<int>(year), month, static_cast<int>(day_of_year - cumulative[month - 1]) + 1};
}

DateTimeParts TicksToDateTime(uint32_t ticks, int32_t days) {
  CalendarDate d = DaysToDate(1900, days);
  const uint64_t ms = (uint64_t{ticks} * 10 + 1) / 3;
  DateTimeParts p{d.year, d.month, d.day};
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>((ms % 3600000) / 60000);
  p.second = static_cast<int>((ms % 60000) / 1000);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

TimeOfDay SplitTime(uint64_t units, uint8_t scale) {
  if (scale > kMaxTimeScale) scale = kMaxTimeScale;
  static constexpr std::array<uint64_t, kMaxTimeScale + 1> kPerSecond = {
      1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000};
  const uint64_t per_second = kPerSecond[scale];
  const uint64_t seconds = per_second ? units / per_second : units;
  return {seconds / 3600, (seconds % 3600) / 60, seconds % 60, per_second ? units % per_second : 0};
}

std::string DateTimeText(const DateTimeParts& p) {
  if (!DateInRange(p, {1753, 1, 1}, {9999, 12, 31}) || !TimeOfDayValid(p)) return "NULL";
  if (p.month < 0 || p.month > 99 || p.day < 0 || p.day > 99 || p.millisecond < 0 ||
      p.millisecond > 999) {
    std::string text = CalendarMinuteText(p);
    text += ':';
    AppendPadded(text, p.second, 2);
    text += '.';
    AppendPadded(text, p.millisecond, 3);
    return text;
  }
  // "yyyy-mm-dd hh:mm:ss.fff", each part exactly its width.
  char text[23];
  auto put = [&](size_t at, int value, int width) {
    PutFixedDigits(text + at, static_cast<uint64_t>(value), width);
  };
  put(0, p.year, 4);
  text[4] = '-';
  put(5, p.month, 2);
  text[7] = '-';
  put(8, p.day, 2);
  text[10] = ' ';
  put(11, p.hour, 2);
  text[13] = ':';
  put(14, p.minute, 2);
  text[16] = ':';
  put(17, p.second, 2);
  text[19] = '.';
  put(20, p.millisecond, 3);
  return std::string(text, sizeof text);
}

std::string SmallDateTimeText(const DateTimeParts& p) {
  if (!DateInRange(p, {1900, 1, 1}, {2079, 6, 6}) || !TimeOfDayValid(p)) return "NULL";
  return CalendarMinuteText(p) + ":00";
}

}  // namespace tollamer
