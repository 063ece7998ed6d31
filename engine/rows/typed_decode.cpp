#include "engine/rows/typed_decode.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/rows/compressed_row.h"
#include "engine/values/date_time_text.h"
#include "engine/values/decimal_text.h"
#include "engine/values/large_values.h"
#include "engine/values/lob_layout.h"
#include "engine/values/number_text.h"
#include "engine/values/value_format.h"
#include "engine/values/wide_text.h"
#include "engine/values/xml_value.h"
#include "platform/text.h"

namespace tollamer {

namespace {

namespace vt = value_type;


// `v` emptied to a value of `kind`, its buffers kept: a row's values are
// decoded record after record into the same TypedValues, so that they
// allocate only when a value outgrows the one the record before left.
void ResetTo(TypedValue& v, TypedKind kind) {
  v.kind = kind;
  v.source = ValueSource::kStored;
  v.integer = 0;
  v.real = 0;
  v.text.clear();
  v.bytes.clear();
  v.time = {};
  v.singlePrecision = false;
}

void SetNumber(TypedValue& v, TypedKind kind, int64_t integer) {
  ResetTo(v, kind);
  v.integer = integer;
}

void SetReal(TypedValue& v, double real, bool single_precision) {
  ResetTo(v, TypedKind::kFloat);
  v.real = real;
  v.singlePrecision = single_precision;
}

void SetDateTime(TypedValue& v, const TypedDateTime& t) {
  ResetTo(v, TypedKind::kDateTime);
  v.time = t;
}

void SetBytes(TypedValue& v, TypedKind kind, ByteView bytes) {
  ResetTo(v, kind);
  v.bytes.assign(bytes.data(), bytes.data() + bytes.size());
}

void SetDate(int start_year, int64_t days, TypedDateTime& t) {
  const CalendarDate d = DaysToDate(start_year, days);
  t.year = d.year;
  t.month = d.month;
  t.day = d.day;
}

// `units` of 10^-scale seconds since midnight as the time parts; hours past
// a day wrap.
void SetTimeOfDay(uint64_t units, uint8_t scale, TypedDateTime& t) {
  const TimeOfDay parts = SplitTime(units, scale);
  t.hour = static_cast<int>(parts.hours % 24);
  t.wrappedDays = parts.hours / 24;
  t.minute = static_cast<int>(parts.minutes);
  t.second = static_cast<int>(parts.seconds);
  t.fraction = static_cast<uint32_t>(parts.fraction);
  t.fractionDigits = std::min(scale, kMaxTimeScale);
}

uint64_t LeNumber(ByteView b, size_t offset, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width && i < 8; ++i) v |= uint64_t{b.LeOr<uint8_t>(offset + i)} << (8 * i);
  return v;
}

TypedDateTime DateTimeValue(ByteView v) {
  const DateTimeParts p =
      TicksToDateTime(v.LeOr<uint32_t>(0), v.LeOr<int32_t>(4));
  TypedDateTime t;
  t.year = p.year;
  t.month = p.month;
  t.day = p.day;
  t.hour = p.hour % 24;  // ticks past a day wrap
  t.wrappedDays = static_cast<uint64_t>(p.hour / 24);
  t.minute = p.minute;
  t.second = p.second;
  t.fraction = static_cast<uint32_t>(p.millisecond);
  t.fractionDigits = 3;
  return t;
}

TypedDateTime SmallDateTimeValue(ByteView v) {
  const uint16_t minutes = v.LeOr<uint16_t>(0);
  const uint16_t days = v.LeOr<uint16_t>(2);
  TypedDateTime t;
  SetDate(1900, days, t);
  SetTimeOfDay(uint64_t{minutes} * 60, 0, t);
  return t;
}

// date, time, datetime2, datetimeoffset of `length` stored bytes.
TypedDateTime NewDateTimeValue(uint8_t xtype, ByteView v, uint16_t length, uint8_t scale) {
  TypedDateTime t;
  if (xtype == vt::kDate) {
    t.hasTime = false;
    SetDate(1, static_cast<int64_t>(LeNumber(v, 0, 3)), t);
    return t;
  }
  size_t time_bytes = length;
  if (xtype == vt::kDateTime2) time_bytes = length >= 3 ? length - 3 : 0;
  if (xtype == vt::kDateTimeOffset) time_bytes = length >= 5 ? length - 5 : 0;
  SetTimeOfDay(LeNumber(v, 0, time_bytes), scale, t);
  if (xtype == vt::kTime) {
    t.hasDate = false;
    return t;
  }
  SetDate(1, static_cast<int64_t>(LeNumber(v, time_bytes, 3)), t);
  if (xtype == vt::kDateTimeOffset) {
    t.hasOffset = true;
    t.offsetMinutes = v.LeOr<int16_t>(time_bytes + 3);
  }
  return t;
}

// Sign byte (1 positive, 0 negative), then the magnitude little-endian;
// written into `out`'s text as "-123.4500", with `scale` decimals.
void DecimalInto(ByteView v, uint8_t scale, TypedValue& out) {
  // Up to 16 magnitude bytes (17 stored bytes at precision 29 to 38).
  std::array<uint8_t, kMaxDecimalStorage - 1> le{};
  const size_t stored = v.size() > 1 ? v.size() - 1 : 0;
  if (stored != 0) std::memcpy(le.data(), v.data() + 1, std::min(stored, le.size()));
  uint64_t low = 0, high = 0;
  for (size_t i = 8; i > 0; --i) {
    low = (low << 8) | le[i - 1];
    high = (high << 8) | le[i + 7];
  }
  const unsigned __int128 magnitude = (static_cast<unsigned __int128>(high) << 64) | low;
  const uint8_t sign = v.LeOr<uint8_t>(0);
  ResetTo(out, TypedKind::kDecimal);
  out.integer = sign;
  if (sign == 0 && magnitude != 0) out.text.push_back('-');
  AppendScaledDigits(out.text, magnitude, scale);
}

std::vector<uint8_t> ToVector(ByteView v) { return {v.data(), v.data() + v.size()}; }
std::vector<uint8_t> ToVector(const std::string& s) { return {s.begin(), s.end()}; }
ByteView ToView(const std::string& s) {
  return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// NULL from bytes that are not there or cannot be decoded.
TypedValue Unreadable() {
  TypedValue v;
  v.source = ValueSource::kUnreadable;
  return v;
}

void SetUnreadable(TypedValue& v) {
  ResetTo(v, TypedKind::kNull);
  v.source = ValueSource::kUnreadable;
}

TypedValue WithSource(TypedValue v, ValueSource source) {
  v.source = source;
  return v;
}

// Fixed char and nchar values are padded with blanks to their length; the
// count of dropped blanks is kept.
void TrimPadding(TypedValue& v) {
  const size_t end = v.text.find_last_not_of(' ');
  const size_t kept = end == std::string::npos ? 0 : end + 1;
  v.integer = static_cast<int64_t>(v.text.size() - kept);
  v.text.resize(kept);
}

size_t FixedSize(const ColumnInfo& c) {
  switch (c.xtype) {
    case vt::kTinyInt: return 1;
    case vt::kSmallInt: return 2;
    case vt::kInt: case vt::kReal: case vt::kSmallMoney: case vt::kSmallDateTime: return 4;
    case vt::kBigInt: case vt::kFloat: case vt::kMoney: case vt::kDateTime:
    case vt::kTimestamp: return 8;
    case vt::kUniqueIdentifier: return kUniqueIdentifierBytes;
    case vt::kDate: return 3;
    case vt::kDecimal: case vt::kNumeric: return DecimalStorageSize(c.xprec);
    default: return c.length;
  }
}

// The stored bytes of a text, ntext or image value (lob_layout.h): through
// its 16-byte text pointer, through its root kept in the row, or the value
// itself kept in the row ('text in row'). ntext comes back as UTF-8.
// `*readable` is false when a value kept outside the row could not be read.
std::string LargeValueBytes(const PageStore& store, const RecordTraits& traits, ByteView bytes,
                            bool complex, bool unicode, bool* readable) {
  namespace lob = lob_layout;
  std::string value;
  *readable = true;
  std::optional<TextPointer> p = DecodeTextPointer(bytes);
  if (p && bytes.size() == lob::kTextPointerSize && store.KnowsFile(p->fileId)) {
    if (p->pageId != 0)
      *readable =
          ReadTextValue(store, traits.textTree, p->pageId, p->slotId, p->fileId, value, true, unicode);
    return value;
  }
  if (complex && bytes.size() >= lob::kInRowRootMinSize &&
      (bytes.size() - lob::kInRowHeaderSize) % lob::kRootLinkSize == 0) {
    *readable = ReadOverflowValue(store, bytes, value_type::kVarBinary, value);
  } else {
    value.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  if (!unicode) return value;
  return platform::Utf16LeToUtf8(
      std::span(reinterpret_cast<const uint8_t*>(value.data()), value.size()));
}

TypedValue VariableValue(const PageStore& store, const RecordTraits& traits, const ColumnInfo& c,
                         const CellLocation& cell, ByteView record) {
  const ByteView bytes = record.Slice(cell.offset, cell.length).value_or(ByteView());
  // Where rows keep no values off the row, a complex flag is damage.
  const bool off_row = cell.complex && traits.offRowValues;
  if (cell.complex && !traits.offRowValues &&
      (c.xtype == vt::kVarChar || c.xtype == vt::kVarBinary))
    return WithSource(TypedValue::Text({}), ValueSource::kUnreadable);
  bool lost = false;
  auto overflow = [&](uint8_t as_type) {
    std::string v;
    lost = !ReadOverflowValue(store, bytes, as_type, v);
    return v;
  };
  // An off-row value not read whole is no value of the file's.
  auto off_row_value = [&](TypedValue v) {
    if (lost) v.source = ValueSource::kUnreadable;
    return v;
  };
  switch (c.xtype) {
    case vt::kVarChar:
      if (off_row)
        return off_row_value(
            TypedValue::Text(NarrowToUtf8(ToView(overflow(value_type::kVarChar)), c.codePage)));
      return TypedValue::Text(NarrowToUtf8(bytes, c.codePage));
    case vt::kNVarChar:
      if (off_row) return off_row_value(TypedValue::Text(overflow(value_type::kNVarChar)));
      return TypedValue::Text(platform::Utf16LeToUtf8(bytes.span()));
    case vt::kXml: {
      std::string stored;
      ByteView tokens = bytes;
      if (off_row) {
        stored = overflow(value_type::kVarBinary);
        tokens = ByteView(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
      }
      std::string text;
      if (!tokens.empty()) DecodeXmlValue(tokens, text);
      return off_row_value(TypedValue::Text(std::move(text)));
    }
    case vt::kText:
    case vt::kNText: {
      bool readable = true;
      std::string v =
          LargeValueBytes(store, traits, bytes, cell.complex, c.xtype == vt::kNText, &readable);
      TypedValue t = TypedValue::Text(c.xtype == vt::kText ? NarrowToUtf8(ToView(v), c.codePage)
                                                           : std::move(v));
      if (!readable) t.source = ValueSource::kUnreadable;
      return t;
    }
    case vt::kImage: {
      bool readable = true;
      TypedValue t = TypedValue::Bytes(
          ToVector(LargeValueBytes(store, traits, bytes, cell.complex, false, &readable)));
      if (!readable) t.source = ValueSource::kUnreadable;
      return t;
    }
    case vt::kVarBinary:
    case vt::kClr:
      if (off_row) return off_row_value(TypedValue::Bytes(ToVector(overflow(value_type::kVarBinary))));
      return TypedValue::Bytes(ToVector(bytes));
    default:  // sql_variant and unknown types: not decoded
      return Unreadable();
  }
}

// The value with how the record held it.
TypedValue VariableTyped(const PageStore& store, const RecordTraits& traits, const ColumnInfo& c,
                         const CellLocation& cell, ByteView record) {
  TypedValue v = VariableValue(store, traits, c, cell, record);
  if (v.source != ValueSource::kStored) return v;
  if (cell.complex && traits.offRowValues)
    v.source = ValueSource::kOffRow;
  else if (!record.Contains(cell.offset, cell.length) || cell.length == 0)
    v.source = ValueSource::kNoBytes;
  return v;
}

}  // namespace

std::string NarrowToUtf8(ByteView bytes, uint16_t code_page) {
  // The text before a NUL, which every reader shows, chooses the code page.
  std::string out;
  AppendNarrowJudgedBy(bytes, UpToNul(bytes), code_page, out);
  return out;
}

namespace {

// A fixed-length value of type `xtype` (the column's, or bit for a bit
// cell) into `out`.
void FixedInto(uint8_t xtype, const ColumnInfo& c, ByteView record, uint16_t offset, uint8_t bit,
               TypedValue& out) {
  if (xtype == vt::kBit) {
    std::optional<uint8_t> byte = record.U8(offset);
    if (!byte) return SetUnreadable(out);
    return SetNumber(out, TypedKind::kInteger, (*byte >> (bit & 7)) & 1);
  }
  std::optional<ByteView> v = record.Slice(offset, FixedSize(c));
  if (!v) return SetUnreadable(out);
  switch (xtype) {
    case vt::kTinyInt: return SetNumber(out, TypedKind::kInteger, v->LeOr<uint8_t>(0));
    case vt::kSmallInt: return SetNumber(out, TypedKind::kInteger, v->LeOr<int16_t>(0));
    case vt::kInt: return SetNumber(out, TypedKind::kInteger, v->LeOr<int32_t>(0));
    case vt::kBigInt: return SetNumber(out, TypedKind::kInteger, v->LeOr<int64_t>(0));
    case vt::kReal: {
      float f = 0;
      std::memcpy(&f, v->data(), sizeof f);
      return SetReal(out, f, true);
    }
    case vt::kFloat: {
      double d = 0;
      std::memcpy(&d, v->data(), sizeof d);
      return SetReal(out, d, false);
    }
    case vt::kMoney: return SetNumber(out, TypedKind::kMoney, v->LeOr<int64_t>(0));
    case vt::kSmallMoney: return SetNumber(out, TypedKind::kMoney, v->LeOr<int32_t>(0));
    case vt::kDateTime: return SetDateTime(out, DateTimeValue(*v));
    case vt::kSmallDateTime: return SetDateTime(out, SmallDateTimeValue(*v));
    case vt::kDate:
    case vt::kTime:
    case vt::kDateTime2:
    case vt::kDateTimeOffset:
      return SetDateTime(out, NewDateTimeValue(xtype, *v, c.length, c.xscale));
    case vt::kDecimal:
    case vt::kNumeric:
      if (v->empty()) return SetUnreadable(out);
      return DecimalInto(*v, c.xscale, out);
    case vt::kUniqueIdentifier: return SetBytes(out, TypedKind::kGuid, *v);
    case vt::kBinary:
    case vt::kTimestamp: return SetBytes(out, TypedKind::kBytes, *v);
    case vt::kChar:
    case vt::kNChar:
      ResetTo(out, TypedKind::kText);
      if (xtype == vt::kChar)
        AppendNarrowJudgedBy(*v, UpToNul(*v), c.codePage, out.text);
      else
        platform::AppendUtf16LeAsUtf8(v->span(), out.text);
      TrimPadding(out);
      return;
    default: return SetUnreadable(out);
  }
}

}  // namespace

TypedValue DecodeFixedTyped(const ColumnInfo& c, ByteView record, uint16_t offset, uint8_t bit) {
  TypedValue v;
  FixedInto(c.xtype, c, record, offset, bit, v);
  return v;
}

namespace {

// In-row variable character and binary values, most of a row's bytes,
// decoded into `out`'s buffers as VariableTyped decodes them; false for
// the others.
bool VariableInRowInto(const ColumnInfo& c, const CellLocation& cell, ByteView record,
                       TypedValue& out) {
  if (cell.complex) return false;
  const ByteView bytes = record.Slice(cell.offset, cell.length).value_or(ByteView());
  switch (c.xtype) {
    case vt::kVarChar:
      ResetTo(out, TypedKind::kText);
      AppendNarrowJudgedBy(bytes, UpToNul(bytes), c.codePage, out.text);
      break;
    case vt::kNVarChar:
      ResetTo(out, TypedKind::kText);
      platform::AppendUtf16LeAsUtf8(bytes.span(), out.text);
      break;
    case vt::kVarBinary:
    case vt::kClr:
      SetBytes(out, TypedKind::kBytes, bytes);
      break;
    default:
      return false;
  }
  if (!record.Contains(cell.offset, cell.length) || cell.length == 0)
    out.source = ValueSource::kNoBytes;
  return true;
}

}  // namespace

void DecodeCellTypedInto(const PageStore& store, const RecordTraits& traits, const ColumnInfo& c,
                         const CellLocation& cell, ByteView record, TypedValue& out) {
  switch (cell.kind) {
    case CellKind::kNull: return ResetTo(out, TypedKind::kNull);
    case CellKind::kNotStored:  // the server reads a missing variable column as NULL
      ResetTo(out, TypedKind::kNull);
      out.source = ValueSource::kNotStored;
      return;
    case CellKind::kFixed: return FixedInto(c.xtype, c, record, cell.offset, cell.bit, out);
    case CellKind::kBit: return FixedInto(vt::kBit, c, record, cell.offset, cell.bit, out);
    case CellKind::kVariable:
      if (!VariableInRowInto(c, cell, record, out))
        out = VariableTyped(store, traits, c, cell, record);
      return;
  }
  ResetTo(out, TypedKind::kNull);
}

TypedValue DecodeCellTyped(const PageStore& store, const RecordTraits& traits, const ColumnInfo& c,
                           const CellLocation& cell, ByteView record) {
  TypedValue v;
  DecodeCellTypedInto(store, traits, c, cell, record, v);
  return v;
}


std::optional<std::vector<TypedValue>> RecordValues(CMdfDatabase& db, const TableRecordWalk& walk,
                                                    const TableRecord& record) {
  return RecordValues(db.Store(), db.Messages(), walk, record);
}

std::optional<std::vector<TypedValue>> RecordValues(const PageStore& store,
                                                    EngineMessages& messages,
                                                    const TableRecordWalk& walk,
                                                    const TableRecord& record) {
  std::vector<TypedValue> row;
  if (!RecordValuesInto(store, messages, walk, record, row)) return std::nullopt;
  return row;
}

bool RecordValuesInto(const PageStore& store, EngineMessages& messages,
                      const TableRecordWalk& walk, const TableRecord& record,
                      std::vector<TypedValue>& row) {
  const std::vector<ColumnPlan>& plan = walk.Plan();
  if (record.compressed) {
    static const PageCompression kNone;
    const PageCompression& pc = record.compression ? *record.compression : kNone;
    std::optional<std::vector<TypedValue>> values =
        DecodeCompressedTyped(record.page, record.recordOffset, walk.Table().columns, pc.anchor,
                              pc.dictionary, store, walk.Profile().Records(), messages);
    if (!values) return false;
    row = std::move(*values);
    return true;
  }
  const ByteView bytes = record.Record();
  const RecordTraits& traits = walk.Profile().Records();
  row.resize(std::min(record.cells.size(), plan.size()));
  for (size_t i = 0; i < row.size(); ++i)
    DecodeCellTypedInto(store, traits, *plan[i].column, record.cells[i], bytes, row[i]);
  return true;
}

}  // namespace tollamer
