#include "engine/rows/table_rows_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "engine/rows/typed_decode.h"
#include "engine/values/date_time_text.h"
#include "engine/values/decimal_text.h"
#include "engine/values/number_text.h"
#include "engine/values/value_format.h"

namespace tollamer {

namespace {

namespace vt = value_type;

constexpr std::string_view kNullText = "NULL";
constexpr std::string_view kTenBlanks = "          ";
// Largest number of decimals a decimal column can have.
constexpr uint8_t kMaxScale = 38;

void CutAt(std::string& text, std::string_view what) {
  const size_t at = text.find(what);
  if (at != std::string::npos) text.resize(at);
}

void CutAtNul(std::string& text) { CutAt(text, std::string_view("\0", 1)); }

// A char or nchar value as stored: with its pad blanks, up to a NUL.
void PaddedText(TypedValue& v, std::string& out) {
  out.swap(v.text);
  out.append(static_cast<size_t>(std::max<int64_t>(v.integer, 0)), ' ');
  CutAtNul(out);
}

void HexOfFirst(const std::vector<uint8_t>& bytes, size_t limit, std::string& out) {
  out = "0x";
  AppendHexDigits(out, ByteView(bytes.data(), std::min(bytes.size(), limit)));
}

// The datetime's ticks cut down to whole milliseconds: the value holds
// them rounded to the nearest (0, 3, 7, 10, ...), which names the tick.
int MillisecondsCutDown(uint32_t nearest) {
  const uint32_t tick = (3 * nearest + 8) / 10;
  return static_cast<int>(10 * tick / 3);
}

DateTimeParts Parts(const TypedDateTime& t) {
  return {t.year, t.month, t.day, t.hour, t.minute, t.second, 0};
}

std::string TimeOf(const TypedDateTime& t, uint8_t scale) {
  const TimeOfDay parts{static_cast<uint64_t>(t.hour) + 24 * t.wrappedDays,
                        static_cast<uint64_t>(t.minute), static_cast<uint64_t>(t.second),
                        t.fraction};
  return TimeOfDayText(parts, scale);
}

void DateTimeGridText(const TypedDateTime& t, const ColumnInfo& c, std::string& out) {
  const CalendarDate date{t.year, t.month, t.day};
  switch (c.xtype) {
    case vt::kDateTime: {
      if (t.wrappedDays != 0) {
        out = kNullText;
        return;
      }
      DateTimeParts p = Parts(t);
      p.millisecond = MillisecondsCutDown(t.fraction);
      out = DateTimeText(p);
      return;
    }
    case vt::kSmallDateTime:
      out = t.wrappedDays != 0 ? std::string(kNullText) : SmallDateTimeText(Parts(t));
      return;
    case vt::kDate: out = CalendarText(date); return;
    case vt::kTime: out = " " + TimeOf(t, c.xscale); return;
    case vt::kDateTime2: out = CalendarText(date) + " " + TimeOf(t, c.xscale); return;
    case vt::kDateTimeOffset: {
      const int minutes = t.offsetMinutes;
      const int magnitude = minutes < 0 ? -minutes : minutes;
      char zone[24];
      std::snprintf(zone, sizeof zone, " %c%02d:%02d", minutes < 0 ? '-' : '+',
                    magnitude / 60, magnitude % 60);
      out = CalendarText(date) + " " + TimeOf(t, c.xscale) + zone;
      return;
    }
    default: out.clear();
  }
}

// decimal and numeric of an ordinary record from the stored sign byte and
// the exact digits.
void DecimalGridText(const TypedValue& v, const ColumnInfo& c, bool sql2000, std::string& out) {
  const size_t size = DecimalStorageSize(c.xprec);
  const uint8_t sign = static_cast<uint8_t>(v.integer);
  std::string_view digits = v.text;
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  unsigned __int128 magnitude = 0;
  if (size > 9 || c.xscale > kMaxScale)
    for (char d : digits)
      if (d != '.') magnitude = magnitude * 10 + static_cast<unsigned>(d - '0');
  if (size > 9) {
    // The stored bytes: the sign byte, then the magnitude little-endian.
    char buf[8];
    std::snprintf(buf, sizeof buf, "%2.2X%2.2X00", c.xprec, c.xscale);
    out = "0x";
    out += buf;
    uint8_t stored[kMaxDecimalStorage] = {sign};
    for (size_t i = 1; i < size; ++i, magnitude >>= 8) stored[i] = static_cast<uint8_t>(magnitude);
    AppendHexDigits(out, ByteView(stored, size));
    return;
  }
  if (sql2000) {
    // Any other sign byte, and more integer digits than the column allows
    // (at least the one "0" before the point), is garbage, not a value.
    const size_t integer_digits =
        c.xscale == 0 ? digits.size() : digits.size() - std::min<size_t>(digits.size(), c.xscale + 1);
    if (c.xscale > std::min(c.xprec, kMaxScale) || sign > 1 ||
        integer_digits > std::max<size_t>(c.xprec - c.xscale, 1)) {
      out = "0";
      return;
    }
  }
  out.clear();
  if (sign == 0) out += '-';
  if (c.xscale > kMaxScale)
    AppendScaledDigits(out, magnitude, kMaxScale);  // no more decimals than a column can have
  else
    out += digits;
}

void AppendInteger(std::string& out, int64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

bool EmptyShowsZero(uint8_t xtype) {
  return xtype == vt::kInt || xtype == vt::kBit || xtype == vt::kDecimal ||
         xtype == vt::kNumeric;
}

// Types the grid of a SQL 7.0/2000 file does not know.
bool NewerType(uint8_t xtype) {
  switch (xtype) {
    case vt::kDate: case vt::kTime: case vt::kDateTime2: case vt::kDateTimeOffset:
    case vt::kXml: case vt::kClr:
      return true;
    default:
      return false;
  }
}

}  // namespace

void SetGridText(TypedValue& v, const ColumnInfo& c, GridStyle style, std::string& out) {
  out.clear();
  const bool off_row = v.source == ValueSource::kOffRow;
  switch (v.source) {
    case ValueSource::kNotStored: return;
    case ValueSource::kNoBytes:
      if (style.compressed) {
        if (EmptyShowsZero(c.xtype)) out = "0";
        return;
      }
      break;
    case ValueSource::kUnreadable:
      if (c.xtype == vt::kSqlVariant) {
        out = kNullText;
      } else if (style.sql2000 && (c.xtype == vt::kDecimal || c.xtype == vt::kNumeric) &&
                 DecimalStorageSize(c.xprec) <= 9) {
        out = "0";
      }
      return;
    default: break;
  }
  if (v.IsNull()) {
    out = kNullText;
    return;
  }
  if (style.sql2000 && NewerType(c.xtype)) return;
  switch (v.kind) {
    case TypedKind::kInteger: AppendInteger(out, v.integer); return;
    case TypedKind::kMoney: AppendMoneyText(out, v.integer); return;
    case TypedKind::kFloat: {
      char buf[512];
      std::snprintf(buf, sizeof buf, "%f", v.real);
      out = buf;
      return;
    }
    case TypedKind::kDateTime: DateTimeGridText(v.time, c, out); return;
    case TypedKind::kDecimal:
      if (style.compressed)
        out.swap(v.text);
      else
        DecimalGridText(v, c, style.sql2000, out);
      return;
    case TypedKind::kGuid: out = GuidText(v.bytes); return;
    case TypedKind::kBytes:
      if (c.xtype == vt::kImage)
        HexOfFirst(v.bytes, kImageBytes, out);
      else
        HexOfFirst(v.bytes, off_row ? kOverflowBytes : v.bytes.size(), out);
      return;
    case TypedKind::kText: break;
    default: return;
  }
  switch (c.xtype) {
    case vt::kChar:
      PaddedText(v, out);
      if (style.sql2000) CutAt(out, kTenBlanks);
      return;
    case vt::kNChar:
      PaddedText(v, out);
      CutAt(out, kTenBlanks);
      return;
    case vt::kText:
    case vt::kNText:
      out.swap(v.text);
      CutToCharacters(out, !style.sql2000                ? kLargeText2005Chars
                           : c.xtype == vt::kText ? kText2000Chars
                                                  : kNText2000Chars);
      return;
    default:
      break;
  }
  // varchar, nvarchar, xml.
  out.swap(v.text);
  if (off_row) {
    CutToCharacters(out, kOverflowChars);
    return;
  }
  if (!style.sql2000 && !style.compressed && v.source == ValueSource::kNoBytes &&
      c.xtype != vt::kNVarChar) {
    out = " ";
    return;
  }
  if (c.xtype == vt::kXml) return;
  CutAtNul(out);
  if (style.compressed && c.xtype == vt::kNVarChar) CutAt(out, kTenBlanks);
}

void SetCompressedGridTexts(std::vector<TypedValue>&& values,
                            const std::map<uint16_t, ColumnInfo>& columns,
                            std::vector<std::string>& row) {
  row.resize(std::min(values.size(), columns.size()));
  auto column = columns.begin();
  for (size_t i = 0; i < row.size(); ++i, ++column)
    SetGridText(values[i], column->second, {false, true}, row[i]);
}

bool RecordTexts(const PageStore& store, EngineMessages& messages, const TableRecordWalk& walk,
                 const TableRecord& record, std::vector<std::string>& row) {
  if (record.compressed) {
    std::optional<std::vector<TypedValue>> values = RecordValues(store, messages, walk, record);
    if (!values) return false;
    SetCompressedGridTexts(std::move(*values), walk.Table().columns, row);
    return true;
  }
  // Cell by cell, each value formatted as soon as it is decoded.
  const RecordTraits& traits = walk.Profile().Records();
  const GridStyle style{traits.gridTexts2000, false};
  const std::vector<ColumnPlan>& plan = walk.Plan();
  row.resize(std::min(record.cells.size(), plan.size()));
  const ByteView bytes = record.Record();
  thread_local TypedValue value;  // its text and the row's trade allocations
  for (size_t i = 0; i < row.size(); ++i) {
    const ColumnInfo& column = *plan[i].column;
    DecodeCellTypedInto(store, traits, column, record.cells[i], bytes, value);
    SetGridText(value, column, style, row[i]);
  }
  return true;
}

std::optional<std::vector<std::string>> RecordTexts(CMdfDatabase& db, const TableRecordWalk& walk,
                                                    const TableRecord& record) {
  std::vector<std::string> row;
  if (!RecordTexts(db.Store(), db.Messages(), walk, record, row)) return std::nullopt;
  return row;
}

}  // namespace tollamer
