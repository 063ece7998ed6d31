// The record grid's texts: stored fixed values through the value decoder,
// and typed values as the decoder gives them for the rest, through the
// grid text formatter of each file format.
#include "engine/rows/table_rows_text.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/rows/typed_decode.h"
#include "engine/values/date_time_text.h"
#include "engine/values/value_format.h"
#include "engine/catalog/open/open_catalog.h"
#include "tests/fixtures/page_builder.h"
#include "tests/fixtures/user_rows_record.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::user_rows::DateTime;
using namespace value_type;

Bytes Le(uint64_t v, size_t width) {
  Bytes b;
  for (size_t i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}
Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Dec(uint8_t sign, uint64_t magnitude) { return Concat({{sign}, Le(magnitude, 8)}); }

// The day after `d`, by the calendar's rules alone.
CalendarDate NextDay(CalendarDate d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int in_month = d.month == 2 && leap ? 29 : kDays[d.month - 1];
  if (d.day < in_month) return {d.year, d.month, d.day + 1};
  if (d.month < 12) return {d.year, d.month + 1, 1};
  return {d.year + 1, 1, 1};
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
        ASSERT_TRUE(got == expected) << start << " + " << days << " days";
        expected = NextDay(got);
      }
    }
    EXPECT_TRUE((DaysToDate(start, 0) == CalendarDate{start, 1, 1}));
    for (int64_t edge : {int64_t{999'999'990}, int64_t{-1'000'000'010}}) {
      CalendarDate d = DaysToDate(start, edge);
      for (int64_t days = edge + 1; days < edge + 20; ++days) {
        CalendarDate next = DaysToDate(start, days);
        ASSERT_TRUE(next == NextDay(d)) << start << " + " << days << " days";
        d = next;
      }
    }
  }
}

constexpr GridStyle k2000{true, false};
constexpr GridStyle k2005{false, false};
constexpr GridStyle kCompressed{false, true};

ColumnInfo Column(uint8_t type, uint16_t length = 0, uint8_t p = 0, uint8_t s = 0) {
  return {.xtype = type, .xprec = p, .xscale = s, .length = length};
}

std::string Grid(TypedValue v, const ColumnInfo& c, GridStyle style) {
  std::string out = "stale";
  SetGridText(v, c, style, out);
  return out;
}

// A fixed value stored at offset 4 of a record, decoded and shown.
std::string Fixed(GridStyle style, const ColumnInfo& c, const Bytes& value, uint8_t bit = 0) {
  static RecordingMessages messages;
  static const PageStore unopened(messages);
  const CellLocation cell{.kind = c.xtype == kBit ? CellKind::kBit : CellKind::kFixed, .offset = 4, .bit = bit};
  const Bytes record = Concat({{0x10, 0, 0, 0}, value});  // a 4-byte record header first
  const FormatProfile* profile =
      ProfileFor(style.sql2000 ? VersionSetting::kSql2000 : VersionSetting::kSql2005);
  return Grid(DecodeCellTyped(unopened, profile->Records(), c, cell, ByteView(record)), c, style);
}

TEST(GridTextTest, StoredFixedValues) {
  auto sdt = [](uint16_t days, int16_t minutes) {
    return Le((uint32_t{days} << 16) | static_cast<uint16_t>(minutes), 4);
  };
  const uint64_t t = (13ull * 3600 + 14 * 60 + 15) * 10000000ull;
  const Bytes dt2 = Concat({Le(t + 5, 5), Le(733207, 3)});
  const Bytes padded = fixtures::user_rows::Char("abc", 20);
  Bytes wide_decimal(17, 0);
  wide_decimal[0] = 1;
  wide_decimal[1] = 0x2A;
  const struct {
    GridStyle style;
    ColumnInfo column;
    Bytes stored;
    std::string grid;
    uint8_t bit = 0;
  } cases[] = {
      // datetime: ticks cut down to milliseconds; NULL outside 1753-9999
      // and at hour 24.
      {k2000, Column(kDateTime), DateTime(0, 0), "1900-01-01 00:00:00.000"},
      {k2000, Column(kDateTime), DateTime(0, 1080000), "1900-01-01 01:00:00.000"},
      {k2000, Column(kDateTime), DateTime(0, 2), "1900-01-01 00:00:00.006"},
      {k2005, Column(kDateTime), DateTime(2958463, 25919999), "9999-12-31 23:59:59.996"},
      {k2005, Column(kDateTime), DateTime(-53690, 0), "1753-01-01 00:00:00.000"},
      {k2005, Column(kDateTime), DateTime(-53691, 0), "NULL"},
      {k2005, Column(kDateTime), DateTime(2958464, 0), "NULL"},
      {k2000, Column(kDateTime), DateTime(10, 25920000), "NULL"},
      {k2000, Column(kDateTime), DateTime(INT32_MIN, 0xFFFFFFFF), "NULL"},
      {k2000, Column(kSmallDateTime), sdt(36523, 90), "1999-12-31 01:30:00"},
      {k2005, Column(kSmallDateTime), sdt(0, 0), "1900-01-01 00:00:00"},
      {k2005, Column(kSmallDateTime), sdt(65535, 1439), "2079-06-06 23:59:00"},
      {k2000, Column(kSmallDateTime), sdt(10, 1440), "NULL"},
      {k2000, Column(kSmallDateTime), sdt(10, -5), "NULL"},
      // The SQL 2008 date and time types; the fraction keeps its leading zeros.
      {k2000, Column(kDate, 3), Le(733207, 3), ""},
      {k2005, Column(kTime, 5, 0, 7), Le(t + 1234567, 5), " 13:14:15.1234567"},
      {k2005, Column(kTime, 5, 0, 7), Le(t + 123456, 5), " 13:14:15.0123456"},
      {k2005, Column(kTime, 3, 0, 0), Le(13 * 3600 + 5, 3), " 13:00:05.0"},
      {k2005, Column(kTime, 3, 0, 0), Le(25 * 3600, 3), " 25:00:00.0"},
      {k2005, Column(kDateTime2, 8, 0, 7), dt2, "2008-06-15 13:14:15.0000005"},
      {k2005, Column(kDateTimeOffset, 10, 0, 7), Concat({dt2, Le(static_cast<uint16_t>(-300), 2)}),
       "2008-06-15 13:14:15.0000005 -05:00"},
      // decimal: SQL 2000 files show "0" for an implausible value.
      {k2000, Column(kDecimal, 9, 2, 2), Dec(1, 45), "0.45"},
      {k2000, Column(kDecimal, 9, 4, 2), Dec(1, 1250), "12.50"},
      {k2000, Column(kNumeric, 9, 4, 2), Dec(0, 525), "-5.25"},
      {k2000, Column(kDecimal, 9, 4, 2), Dec(1, 123456), "0"},
      {k2000, Column(kDecimal, 9, 4, 2), Dec(2, 45), "0"},
      {k2005, Column(kDecimal, 9, 4, 2), Dec(2, 123456), "1234.56"},
      {k2005, Column(kDecimal, 9, 5, 3), Dec(0, 5), "-0.005"},
      {k2005, Column(kDecimal, 9, 5, 3), Dec(0, 0), "-0.000"},
      {k2005, Column(kDecimal, 9, 19, 0), Dec(1, 9223372036854775807ull), "9223372036854775807"},
      {k2000, Column(kDecimal, 9, 19, 4), Dec(1, 9223372036854775807ull), "922337203685477.5807"},
      {k2000, Column(kDecimal, 17, 30, 2), wide_decimal, "0x1E0200012A" + std::string(30, '0')},
      {k2005, Column(kNumeric, 13, 20, 0), Bytes(13, 0xBB), "0x140000" + std::string(26, 'B')},
      // Numbers, money, binary forms.
      {k2005, Column(kInt), Le(0x80000000u, 4), "-2147483648"},
      {k2000, Column(kMoney), Le(static_cast<uint64_t>(-12345678ll), 8), "-1234.5678"},
      {k2005, Column(kFloat), Le(0xC004000000000000ull, 8), "-2.500000"},
      {k2005, Column(kBinary, 3), {0x00, 0x0F, 0xF0}, "0x000FF0"},
      {k2005, Column(200, 3), {1, 2, 3}, ""},
      // char: cut before ten blanks in SQL 2000 files, padded in later ones.
      {k2000, Column(kChar, 20), padded, "abc"},
      {k2005, Column(kChar, 20), padded, "abc" + std::string(17, ' ')},
      {k2005, Column(kChar, 5), {'a', 'b', 0, 'c', ' '}, "ab"},
      {k2000, Column(kChar, 3), {'x', 'y', 'z', '1', '2'}, "xyz"},
      {k2000, Column(kNChar, 34), fixtures::user_rows::NChar("中文 ok", 34), "中文 ok"},
      {k2005, Column(kNChar, 4), fixtures::Utf16("中文字"), "中文"},
      {k2000, Column(kBit, 1), {0x08}, "1", 3},
      {k2000, Column(kBit, 1), {0x08}, "0", 2},
      {k2005, Column(kBit, 1), {0x80}, "1", 7},
      // Values the record is too short for.
      {k2000, Column(kInt, 4), {1, 2}, ""},
      {k2005, Column(kDateTime2, 8, 0, 7), {1, 2}, ""},
      {k2000, Column(kDecimal, 9, 18, 2), {1, 2}, "0"},
      {k2005, Column(kDecimal, 9, 18, 2), {1, 2}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Fixed(c.style, c.column, c.stored, c.bit), c.grid)
        << "type " << int{c.column.xtype} << (c.style.sql2000 ? " (2000)" : "");
}

TypedValue From(TypedValue v, ValueSource source) {
  v.source = source;
  return v;
}

// Values as the decoder gives them, shown by how the record held them.
TEST(GridTextTest, VariableValuesByHowTheyWereHeld) {
  using VS = ValueSource;
  const TypedValue empty_text = From(TypedValue::Text(""), VS::kNoBytes);
  const std::string long_text(9000, 'v');
  const TypedValue image = TypedValue::Bytes(Bytes(5000, 0xBB));
  const struct {
    GridStyle style;
    ColumnInfo column;
    TypedValue value;
    std::string grid;
  } cases[] = {
      {k2005, Column(kVarChar), empty_text, " "},
      {k2005, Column(kNVarChar), empty_text, ""},
      {k2000, Column(kVarChar), empty_text, ""},
      {kCompressed, Column(kVarChar), empty_text, ""},
      {k2005, Column(kVarChar), TypedValue::Text(std::string("ab\0cd", 5)), "ab"},
      {k2000, Column(kXml), TypedValue::Text("<a />"), ""},
      {kCompressed, Column(kNVarChar), TypedValue::Text("a" + std::string(12, ' ') + "b"), "a"},
      {k2005, Column(kNVarChar), TypedValue::Text("a" + std::string(12, ' ') + "b"),
       "a" + std::string(12, ' ') + "b"},
      // Display cuts.
      {k2005, Column(kVarBinary), TypedValue::Bytes(Bytes(900, 0x11)), "0x" + std::string(1800, '1')},
      {k2000, Column(kNText), TypedValue::Text("中" + long_text), "中" + std::string(199, 'v')},
      {k2005, Column(kImage), image, "0x" + std::string(8000, 'B')},
      {k2005, Column(kImage), From(TypedValue::Bytes({}), VS::kUnreadable), ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Grid(c.value, c.column, c.style), c.grid) << "type " << int{c.column.xtype};
  EXPECT_EQ(ByteToBitString(0x01), "10000000");
  EXPECT_EQ(ByteToBitString(0xA0), "00000101");
}

}  // namespace
}  // namespace tollamer
