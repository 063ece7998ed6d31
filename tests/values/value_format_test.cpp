#include "engine/values/value_format.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/values/date_time_text.h"
#include "engine/values/decimal_text.h"
#include "tests/fixtures/page_builder.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using namespace value_type;

// A record with the value at offset 4, behind a 4-byte record header.
Bytes Record(const Bytes& value) {
  Bytes r(4 + value.size(), 0);
  r[0] = 0x10;
  std::copy(value.begin(), value.end(), r.begin() + 4);
  return r;
}
Bytes Le(uint64_t v, size_t width) {
  Bytes b;
  for (size_t i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}
Bytes DateTimeBytes(uint32_t ticks, int32_t days) {
  Bytes b = Le(ticks, 4);
  Bytes d = Le(static_cast<uint32_t>(days), 4);
  b.insert(b.end(), d.begin(), d.end());
  return b;
}

std::string F2000(uint8_t type, const Bytes& value, uint8_t p = 0, uint8_t s = 0,
                  uint16_t length = 0, uint8_t bit = 0) {
  return FormatValue2000(type, Record(value), 4, bit, p, s, length);
}
std::string F2005(uint8_t type, const Bytes& value, uint8_t p = 0, uint8_t s = 0,
                  uint16_t length = 0, uint8_t bit = 0) {
  return FormatValue2005(type, Record(value), 4, p, s, length, bit);
}

// The day after `d`, by the calendar's rules alone.
CalendarDate NextDay(CalendarDate d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int in_month = d.month == 2 && leap ? 29 : kDays[d.month - 1];
  if (d.day < in_month) return {d.year, d.month, d.day + 1};
  if (d.month < 12) return {d.year, d.month + 1, 1};
  return {d.year + 1, 1, 1};
}

bool SameDate(CalendarDate a, CalendarDate b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

TEST(DateConversionTest, EveryDayFollowsTheOneBeforeIt) {
  // Day by day over 12,800 years from both start years, from before year 0
  // on; over the years some 32,000 from 1970 (either way) where the short
  // count's arithmetic gives way to whole eras; and across the count where
  // whole 400-year cycles take over.
  for (int start : {1, 1900}) {
    EXPECT_LT(DaysToDate(start, -1000000).year, 0);
    for (auto [from, to] : {std::pair<int64_t, int64_t>{-1000000, 3700000},
                            {-12100000, -11200000}, {11900000, 12800000}}) {
      CalendarDate expected = DaysToDate(start, from);
      for (int64_t days = from; days <= to; ++days) {
        CalendarDate got = DaysToDate(start, days);
        ASSERT_TRUE(SameDate(got, expected)) << start << " + " << days << " days";
        expected = NextDay(got);
      }
    }
    EXPECT_TRUE(SameDate(DaysToDate(start, 0), {start, 1, 1}));
    for (int64_t edge : {int64_t{999'999'990}, int64_t{-1'000'000'010}}) {
      CalendarDate d = DaysToDate(start, edge);
      for (int64_t days = edge + 1; days < edge + 20; ++days) {
        CalendarDate next = DaysToDate(start, days);
        ASSERT_TRUE(SameDate(next, NextDay(d))) << start << " + " << days << " days";
        d = next;
      }
    }
  }
}

TEST(DateConversionTest, DatetimeShowsEveryDateOfItsRange) {
  EXPECT_EQ(F2000(kDateTime, DateTimeBytes(0, 0)), "1900-01-01 00:00:00.000")
      << "time-of-day values are stored on 1900-01-01";
  EXPECT_EQ(F2000(kDateTime, DateTimeBytes(0, 366)), "1901-01-02 00:00:00.000");
  EXPECT_EQ(F2000(kDateTime, DateTimeBytes(1080000, 0)), "1900-01-01 01:00:00.000");
  EXPECT_EQ(F2000(kDateTime, DateTimeBytes(2, 0)), "1900-01-01 00:00:00.006");
  EXPECT_EQ(F2005(kDateTime, DateTimeBytes(25919999, 2958463)), "9999-12-31 23:59:59.996")
      << "milliseconds are ticks * 10 / 3 with the fraction dropped";
  EXPECT_EQ(F2005(kDateTime, DateTimeBytes(0, -53690)), "1753-01-01 00:00:00.000");
  EXPECT_EQ(F2005(kDateTime, DateTimeBytes(0, -53691)), "NULL");
  EXPECT_EQ(F2005(kDateTime, DateTimeBytes(0, 2958464)), "NULL");
  EXPECT_EQ(F2000(kDateTime, DateTimeBytes(25920000, 10)), "NULL") << "hour 24";
  EXPECT_EQ(F2000(kDateTime, DateTimeBytes(0xFFFFFFFF, INT32_MIN)), "NULL");
}

TEST(DateConversionTest, SmallDatetimeRangeAndTime) {
  auto sdt = [](uint16_t days, int16_t minutes) {
    return Le((uint32_t{days} << 16) | static_cast<uint16_t>(minutes), 4);
  };
  EXPECT_EQ(F2000(kSmallDateTime, sdt(36523, 90)), "1999-12-31 01:30:00");
  EXPECT_EQ(F2005(kSmallDateTime, sdt(0, 0)), "1900-01-01 00:00:00");
  EXPECT_EQ(F2005(kSmallDateTime, sdt(65535, 1439)), "2079-06-06 23:59:00");
  EXPECT_EQ(F2000(kSmallDateTime, sdt(10, 1440)), "NULL");
  EXPECT_EQ(F2000(kSmallDateTime, sdt(10, -5)), "NULL");
}

TEST(DateConversionTest, Sql2008DateAndTimeTypes) {
  EXPECT_EQ(F2005(kDate, Le(733207, 3)), "2008-06-15");
  const uint64_t t = (13ull * 3600 + 14 * 60 + 15) * 10000000ull;
  EXPECT_EQ(F2005(kTime, Le(t + 1234567, 5), 0, 7, 5), " 13:14:15.1234567");
  EXPECT_EQ(F2005(kTime, Le(t + 123456, 5), 0, 7, 5), " 13:14:15.0123456")
      << "the fraction keeps its leading zero";
  EXPECT_EQ(F2005(kTime, Le(13 * 3600 + 5, 3), 0, 0, 3), " 13:00:05.0");
  Bytes dt2 = Le(t + 5, 5);
  Bytes date = Le(733207, 3);
  dt2.insert(dt2.end(), date.begin(), date.end());
  EXPECT_EQ(F2005(kDateTime2, dt2, 0, 7, 8), "2008-06-15 13:14:15.0000005");
  Bytes dto = dt2;
  Bytes zone = Le(static_cast<uint16_t>(int16_t{330}), 2);
  dto.insert(dto.end(), zone.begin(), zone.end());
  EXPECT_EQ(F2005(kDateTimeOffset, dto, 0, 7, 10), "2008-06-15 13:14:15.0000005 +05:30");
  Bytes west = dt2;
  Bytes minus = Le(static_cast<uint16_t>(int16_t{-300}), 2);
  west.insert(west.end(), minus.begin(), minus.end());
  EXPECT_EQ(F2005(kDateTimeOffset, west, 0, 7, 10), "2008-06-15 13:14:15.0000005 -05:00");
  EXPECT_EQ(F2000(kDate, Le(733207, 3)), "") << "SQL 2000 files have no date type";
}

TEST(DecimalTextTest, Sql2000RejectsGarbageButKeepsValidValues) {
  auto dec = [](uint8_t sign, uint32_t m) {
    Bytes b = {sign};
    Bytes mag = Le(m, 4);
    b.insert(b.end(), mag.begin(), mag.end());
    return b;
  };
  EXPECT_EQ(F2000(kDecimal, dec(1, 45), 2, 2), "0.45");
  EXPECT_EQ(F2000(kDecimal, dec(1, 1250), 4, 2), "12.50");
  EXPECT_EQ(F2000(kNumeric, dec(0, 525), 4, 2), "-5.25");
  EXPECT_EQ(F2000(kDecimal, dec(1, 7), 3, 0), "7");
  EXPECT_EQ(F2000(kDecimal, dec(1, 123456), 4, 2), "0") << "four integer digits in decimal(4,2)";
  EXPECT_EQ(F2000(kDecimal, dec(2, 45), 4, 2), "0") << "sign byte 2";
  EXPECT_EQ(F2005(kDecimal, dec(2, 123456), 4, 2), "1234.56") << "no test in 2005 files";
  EXPECT_EQ(F2005(kDecimal, dec(0, 5), 5, 3), "-0.005");
}

TEST(DecimalTextTest, WideMagnitudes) {
  Bytes big = {1};
  Bytes mag = Le(9223372036854775807ull, 8);
  big.insert(big.end(), mag.begin(), mag.end());
  EXPECT_EQ(F2005(kDecimal, big, 19, 0), "9223372036854775807") << "exact, not via double";
  EXPECT_EQ(F2000(kDecimal, big, 19, 4), "922337203685477.5807");
  Bytes wide(17, 0);
  wide[0] = 1;
  wide[1] = 0x2A;
  EXPECT_EQ(F2000(kDecimal, wide, 30, 2), "0x1E020001" + std::string("2A") + std::string(30, '0'));
  EXPECT_EQ(F2005(kNumeric, Bytes(13, 0xAB), 20, 0).substr(0, 8), "0x140000");
  EXPECT_EQ(F2005(kNumeric, Bytes(12, 0xAB), 20, 0), "") << "13 bytes are needed";
}

TEST(ValueFormatTest, NumbersMoneyAndBinaryForms) {
  EXPECT_EQ(F2000(kTinyInt, {200}), "200");
  EXPECT_EQ(F2000(kSmallInt, Le(0xFFFE, 2)), "-2");
  EXPECT_EQ(F2005(kInt, Le(0x80000000u, 4)), "-2147483648");
  EXPECT_EQ(F2005(kBigInt, Le(5000000000ull, 8)), "5000000000");
  EXPECT_EQ(F2000(kMoney, Le(static_cast<uint64_t>(-12345678ll), 8)), "-1234.5678");
  EXPECT_EQ(F2000(kMoney, Le(9223372036854775807ull, 8)), "922337203685477.5807");
  EXPECT_EQ(F2005(kSmallMoney, Le(2147483647u, 4)), "214748.3647");
  EXPECT_EQ(F2000(kReal, Le(0x3FC00000u, 4)), "1.500000");
  EXPECT_EQ(F2005(kFloat, Le(0xC004000000000000ull, 8)), "-2.500000");
  EXPECT_EQ(F2000(kTimestamp, {0x80, 0x81, 0x9A, 0xAB, 0xBC, 0xCD, 0xDE, 0xFF}),
            "0x80819AABBCCDDEFF");
  EXPECT_EQ(F2005(kBinary, {0x00, 0x0F, 0xF0}, 0, 0, 3), "0x000FF0");
  EXPECT_EQ(F2000(kUniqueIdentifier, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88,
                                      0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}),
            "00112233-4455-6677-8899-AABBCCDDEEFF");
  EXPECT_EQ(F2000(kSqlVariant, {}), "NULL");
  EXPECT_EQ(F2005(200, {1, 2, 3}), "");
}

TEST(ValueFormatTest, CharNcharAndBits) {
  Bytes padded = {'a', 'b', 'c'};
  padded.resize(20, ' ');
  EXPECT_EQ(F2000(kChar, padded, 0, 0, 20), "abc");
  EXPECT_EQ(F2005(kChar, padded, 0, 0, 20), "abc" + std::string(17, ' '));
  Bytes next_column = {'x', 'y', 'z', '1', '2'};
  EXPECT_EQ(F2000(kChar, next_column, 0, 0, 3), "xyz") << "cut to the column's length";
  Bytes wide = fixtures::Utf16("中文 ok");
  Bytes blanks = fixtures::Utf16(std::string(12, ' '));
  wide.insert(wide.end(), blanks.begin(), blanks.end());
  EXPECT_EQ(F2000(kNChar, wide, 0, 0, static_cast<uint16_t>(wide.size())), "中文 ok");
  EXPECT_EQ(F2005(kNChar, fixtures::Utf16("中文字"), 0, 0, 4), "中文");
  EXPECT_EQ(F2000(kBit, {0x08}, 0, 0, 1, 3), "1");
  EXPECT_EQ(F2000(kBit, {0x08}, 0, 0, 1, 2), "0");
  EXPECT_EQ(F2005(kBit, {0x80}, 0, 0, 1, 7), "1");
  EXPECT_EQ(ByteToBitString(0x01), "10000000");
  EXPECT_EQ(ByteToBitString(0xA0), "00000101");
}

TEST(ValueFormatTest, ShortRecordsNeverReadPastTheirEnd) {
  const Bytes record = {0x10, 0, 0, 0, 1, 2};
  for (uint8_t type : {kInt, kBigInt, kMoney, kDateTime, kUniqueIdentifier, kTimestamp, kFloat,
                       kDecimal, kDate, kDateTime2, kDateTimeOffset}) {
    EXPECT_EQ(FormatValue2000(type, record, 4, 0, 9, 2, 8), type == kDecimal ? "0" : "")
        << int{type};
    EXPECT_EQ(FormatValue2005(type, record, 4, 18, 2, 10, 0), "") << int{type};
  }
  EXPECT_EQ(FormatValue2005(kChar, record, 4, 0, 0, 8000, 0), std::string("\x01\x02"));
  EXPECT_EQ(FormatValue2000(kInt, record, 60000, 0, 0, 0, 4), "");
}

}  // namespace
}  // namespace tollamer
