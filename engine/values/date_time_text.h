// Dates and times as the servers store them, and their text forms.
//
//   TYPE            BYTES  STORED AS
//   datetime        8      bytes 0-3: 1/300-second ticks since midnight
//                          (unsigned); bytes 4-7: signed days since 1900-01-01
//   smalldatetime   4      bytes 0-1: minutes since midnight (signed);
//                          bytes 2-3: unsigned days since 1900-01-01
//   date            3      unsigned days since 0001-01-01
//   time(s)         3-5    units of 10^-s seconds since midnight
//   datetime2(s)    6-8    time(s), then the 3-byte date
//   datetimeoffset  8-10   time(s), the 3-byte date, then the zone offset in
//                          minutes (signed 16-bit)
#pragma once

#include <cstdint>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const CalendarDate&) const = default;
};

struct DateTimeParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The date `days` days after January 1 of `start_year`. Negative counts go
// back before it (datetime reaches back to 1753).
CalendarDate DaysToDate(int start_year, int64_t days);

// The proleptic Gregorian date `days` after 1970-01-01 (negative before),
// counted in whole 400-year eras; the year must fit an int.
CalendarDate CivilDate(int64_t days);

// time, datetime2 and datetimeoffset keep at most seven fractional digits.
inline constexpr uint8_t kMaxTimeScale = 7;

// `units` of 10^-scale seconds since midnight (a scale above 7 counts as
// 7) as hours (not wrapped at 24), minutes, seconds and the fraction in
// units of 10^-scale seconds.
struct TimeOfDay {
  uint64_t hours = 0;
  uint64_t minutes = 0;
  uint64_t seconds = 0;
  uint64_t fraction = 0;
};
TimeOfDay SplitTime(uint64_t units, uint8_t scale);

// A datetime value: ticks of 1/300 second since midnight, days since
// 1900-01-01. The ticks become milliseconds to the nearest (.000, .003,
// .007, as the server shows them); the hour is not wrapped at 24.
DateTimeParts TicksToDateTime(uint32_t ticks, int32_t days);

// "%04d-%02d-%02d %02d:%02d:%02d.%03d", or "NULL" outside 1753-01-01 ..
// 9999-12-31 or with an impossible time.
std::string DateTimeText(const DateTimeParts& parts);
// "%04d-%02d-%02d %02d:%02d:00", or "NULL" outside 1900-01-01 .. 2079-06-06
// or with an impossible time.
std::string SmallDateTimeText(const DateTimeParts& parts);

// "yyyy-mm-dd" (a year of more digits, or a negative one, as it is).
std::string CalendarText(CalendarDate date);
// "hh:mm:ss.f": hours as they are, the fraction with `scale` digits (at
// most 7), keeping its leading zeros (.05 is not .5).
std::string TimeOfDayText(const TimeOfDay& time, uint8_t scale);

}  // namespace tollamer
