#include "engine/rows/row_text_plan.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/rows/typed_decode.h"
#include "engine/values/date_time_text.h"
#include "engine/values/number_text.h"
#include "engine/values/value_format.h"
#include "engine/values/wide_text.h"
#include "platform/text.h"

namespace tollamer {

namespace {

namespace vt = value_type;

using Step = RowTextPlan::Step;

// A value written straight at the row's place (room: the step's); null
// when its bytes are not in the record.
using Put = char* (*)(const Step&, const CellLocation&, ByteView record, char* at,
                      const TextForm&, RowTextScratch::State&);
// A text value made (UTF-8) before the row's room is made; false when its
// bytes are not in the record.
using Make = bool (*)(const CellLocation&, ByteView record, const ColumnInfo&, std::string& text);

}  // namespace

struct RowTextPlan::Step {
  size_t index = 0;  // in record.cells
  const ColumnInfo* column = nullptr;
  // The cell the converter reads; a cell of another kind (or a complex
  // one) goes the typed way.
  CellKind reads = CellKind::kNull;
  Put put = nullptr;     // fixed-width values, written in place
  Make make = nullptr;   // text values, made first
  bool narrow = false;   // 8-bit text: ASCII bytes are written from the record itself
  bool hex = false;      // in-row variable bytes
  uint16_t width = 0;    // fixed bytes: the stored width
  size_t room = 0;       // `put`: the most it writes
  bool unicode = false;  // a Unicode text column
};

namespace {

constexpr size_t kMaxIntegerText = 20;  // "-9223372036854775808"

char* PutView(char* at, std::string_view text) {
  // Separators and row ends are a few bytes: copied in place of a call.
  if (text.size() <= 4) {
    for (char c : text) *at++ = c;
    return at;
  }
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

template <typename T>
char* PutInteger(const Step&, const CellLocation& cell, ByteView record, char* at,
                 const TextForm&, RowTextScratch::State&) {
  const std::optional<ByteView> v = record.Slice(cell.offset, sizeof(T));
  if (!v) return nullptr;
  return std::to_chars(at, at + kMaxIntegerText, static_cast<int64_t>(v->LeOr<T>(0))).ptr;
}

char* PutBit(const Step&, const CellLocation& cell, ByteView record, char* at, const TextForm&, RowTextScratch::State&) {
  const std::optional<uint8_t> byte = record.U8(cell.offset);
  if (!byte) return nullptr;
  *at++ = static_cast<char>('0' + ((*byte >> (cell.bit & 7)) & 1));
  return at;
}

template <typename T>
char* PutMoney(const Step&, const CellLocation& cell, ByteView record, char* at,
               const TextForm&, RowTextScratch::State&) {
  const std::optional<ByteView> v = record.Slice(cell.offset, sizeof(T));
  if (!v) return nullptr;
  return PutMoneyText(at, v->LeOr<T>(0));
}

template <typename T>
char* PutReal(const Step&, const CellLocation& cell, ByteView record, char* at,
              const TextForm& form, RowTextScratch::State&) {
  const std::optional<ByteView> v = record.Slice(cell.offset, sizeof(T));
  if (!v) return nullptr;
  T real;
  std::memcpy(&real, v->data(), sizeof real);
  if (form.finiteOnly && !std::isfinite(real)) return PutView(at, form.null);
  return std::to_chars(at, at + kMaxFloatText, real).ptr;
}

// The date part of datetime and smalldatetime values (days since 1900) as
// PutIsoDateTimeText writes it, kept per thread by day number: a table's
// rows share few dates, and each date's calendar is worked out once.
struct DateTextCache {
  static constexpr size_t kEntries = 512;
  static constexpr size_t kText = 16;  // "-yyyy-mm-dd" and more, copied whole
  struct Entry {
    int64_t days = 0;
    uint8_t size = 0;  // 0: empty
    char text[kText];
  };
  std::array<Entry, kEntries> entries;

  // Writes up to kText bytes at `at` (the room of a date and time).
  char* Put(char* at, int64_t days) {
    Entry& e = entries[static_cast<uint64_t>(days) % kEntries];
    if (e.size == 0 || e.days != days) {
      const CalendarDate d = DaysToDate(1900, days);
      TypedDateTime t;
      t.year = d.year;
      t.month = d.month;
      t.day = d.day;
      t.hasTime = false;
      char text[kMaxIsoDateTimeText] = {};
      e.days = days;
      e.size = static_cast<uint8_t>(PutIsoDateTimeText(text, t) - text);
      std::memcpy(e.text, text, kText);
    }
    std::memcpy(at, e.text, kText);  // a fixed size: no copy loop for a few bytes
    return at + e.size;
  }
};

DateTextCache& DatesOf(RowTextScratch::State& state);

// hh:mm:ss of a time of day in seconds, hours past a day wrapped.
char* PutClock(char* at, uint64_t seconds) {
  at = PutFixedDigits(at, (seconds / 3600) % 24, 2);
  *at++ = ':';
  at = PutFixedDigits(at, (seconds % 3600) / 60, 2);
  *at++ = ':';
  return PutFixedDigits(at, seconds % 60, 2);
}

// datetime: 1/300-second ticks since midnight, then days since 1900; the
// text the typed value and PutIsoDateTimeText give.
char* PutDateTime(const Step&, const CellLocation& cell, ByteView record, char* at,
                  const TextForm& form, RowTextScratch::State& state) {
  const std::optional<ByteView> v = record.Slice(cell.offset, 8);
  if (!v) return nullptr;
  DateTextCache& dates = DatesOf(state);
  if (form.quoteDates) *at++ = '\'';
  at = dates.Put(at, v->LeOr<int32_t>(4));
  *at++ = form.dateSeparator;
  const uint64_t ms = (uint64_t{v->LeOr<uint32_t>(0)} * 10 + 1) / 3;
  at = PutClock(at, ms / 1000);
  *at++ = '.';
  at = PutFixedDigits(at, ms % 1000, 3);
  if (form.quoteDates) *at++ = '\'';
  return at;
}

// smalldatetime: minutes since midnight, then days since 1900.
char* PutSmallDateTime(const Step&, const CellLocation& cell, ByteView record, char* at,
                       const TextForm& form, RowTextScratch::State& state) {
  const std::optional<ByteView> v = record.Slice(cell.offset, 4);
  if (!v) return nullptr;
  DateTextCache& dates = DatesOf(state);
  if (form.quoteDates) *at++ = '\'';
  at = dates.Put(at, v->LeOr<uint16_t>(2));
  *at++ = form.dateSeparator;
  at = PutClock(at, uint64_t{v->LeOr<uint16_t>(0)} * 60);
  if (form.quoteDates) *at++ = '\'';
  return at;
}

char* PutGuid(const Step&, const CellLocation& cell, ByteView record, char* at,
              const TextForm& form, RowTextScratch::State&) {
  const std::optional<ByteView> v = record.Slice(cell.offset, kUniqueIdentifierBytes);
  if (!v) return nullptr;
  if (form.quoteDates) *at++ = '\'';
  at = PutUniqueIdentifierText(at, v->data());
  if (form.quoteDates) *at++ = '\'';
  return at;
}

char* PutHex(char* at, ByteView bytes) {
  *at++ = '0';
  *at++ = 'x';
  return PutHexDigits(at, bytes);
}

char* PutFixedBytes(const Step& step, const CellLocation& cell, ByteView record, char* at,
                    const TextForm&, RowTextScratch::State&) {
  const std::optional<ByteView> v = record.Slice(cell.offset, step.width);
  return v ? PutHex(at, *v) : nullptr;
}

// char and nchar values lose their pad blanks.
void TrimBlanks(std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
}

bool MakeChar(const CellLocation& cell, ByteView record, const ColumnInfo& c, std::string& text) {
  const std::optional<ByteView> v = record.Slice(cell.offset, c.length);
  if (!v) return false;
  AppendNarrowJudgedBy(*v, UpToNul(*v), c.codePage, text);
  TrimBlanks(text);
  return true;
}

bool MakeNChar(const CellLocation& cell, ByteView record, const ColumnInfo& c, std::string& text) {
  const std::optional<ByteView> v = record.Slice(cell.offset, c.length);
  if (!v) return false;
  platform::AppendUtf16LeAsUtf8(v->span(), text);
  TrimBlanks(text);
  return true;
}

// The cell's bytes; nothing when they reach past the record, which leaves
// the row to the typed path and its verdict.
std::optional<ByteView> InRow(const CellLocation& cell, ByteView record) {
  return record.Slice(cell.offset, cell.length);
}

bool MakeVarChar(const CellLocation& cell, ByteView record, const ColumnInfo& c,
                 std::string& text) {
  const std::optional<ByteView> bytes = InRow(cell, record);
  if (!bytes) return false;
  AppendNarrowJudgedBy(*bytes, UpToNul(*bytes), c.codePage, text);
  return true;
}

bool MakeNVarChar(const CellLocation& cell, ByteView record, const ColumnInfo&,
                  std::string& text) {
  const std::optional<ByteView> bytes = InRow(cell, record);
  if (!bytes) return false;
  platform::AppendUtf16LeAsUtf8(bytes->span(), text);
  return true;
}

bool IsUnicodeType(uint8_t xtype) {
  return xtype == vt::kNChar || xtype == vt::kNVarChar || xtype == vt::kNText || xtype == vt::kXml;
}

// How one cell of one record is written.
enum class Route : uint8_t { kNull, kPut, kText, kAscii, kField, kHex };

// The stored bytes of an 8-bit text cell when they are all ASCII (their
// text whatever the code page), a char value without its pad blanks.
std::optional<std::string_view> AsciiText(const CellLocation& cell, ByteView record,
                                          const ColumnInfo& c) {
  const bool fixed = cell.kind == CellKind::kFixed;
  const std::optional<ByteView> v =
      fixed ? record.Slice(cell.offset, c.length) : InRow(cell, record);
  if (!v || !platform::IsAscii(v->span())) return std::nullopt;
  std::string_view text(reinterpret_cast<const char*>(v->data()), v->size());
  if (fixed) {
    const size_t end = text.find_last_not_of(' ');
    text = text.substr(0, end == std::string_view::npos ? 0 : end + 1);
  }
  return text;
}

}  // namespace

// The texts of the row being written, reused from row to row.
struct RowTextScratch::State {
  std::vector<std::string> texts;
  std::vector<std::string_view> ascii;  // kAscii: the record's own bytes
  std::vector<Route> routes;
  TypedValue value;
  DateTextCache dates;
};

RowTextScratch::RowTextScratch() : state_(std::make_unique<State>()) {}
RowTextScratch::~RowTextScratch() = default;

namespace {

DateTextCache& DatesOf(RowTextScratch::State& state) { return state.dates; }

// The converter of one planned column, chosen by its place and type.
void Choose(const ColumnPlan& p, const ColumnInfo& c, Step& s) {
  if (p.place == ColumnPlace::kBit) {
    s.reads = CellKind::kBit;
    s.put = PutBit;
    s.room = 1;
    return;
  }
  if (p.place == ColumnPlace::kVariable) {
    s.reads = CellKind::kVariable;
    switch (c.xtype) {
      case vt::kVarChar: s.make = MakeVarChar; s.narrow = true; return;
      case vt::kNVarChar: s.make = MakeNVarChar; return;
      case vt::kVarBinary: case vt::kClr: s.hex = true; return;
      default: s.reads = CellKind::kNull; return;
    }
  }
  if (p.place != ColumnPlace::kFixed) return;
  s.reads = CellKind::kFixed;
  switch (c.xtype) {
    case vt::kTinyInt: s.put = PutInteger<uint8_t>; s.room = kMaxIntegerText; return;
    case vt::kSmallInt: s.put = PutInteger<int16_t>; s.room = kMaxIntegerText; return;
    case vt::kInt: s.put = PutInteger<int32_t>; s.room = kMaxIntegerText; return;
    case vt::kBigInt: s.put = PutInteger<int64_t>; s.room = kMaxIntegerText; return;
    case vt::kSmallMoney: s.put = PutMoney<int32_t>; s.room = kMaxMoneyText; return;
    case vt::kMoney: s.put = PutMoney<int64_t>; s.room = kMaxMoneyText; return;
    case vt::kReal: s.put = PutReal<float>; s.room = kMaxFloatText; return;
    case vt::kFloat: s.put = PutReal<double>; s.room = kMaxFloatText; return;
    case vt::kDateTime: s.put = PutDateTime; s.room = kMaxIsoDateTimeText + 2; return;
    case vt::kSmallDateTime:
      s.put = PutSmallDateTime;
      s.room = kMaxIsoDateTimeText + 2;
      return;
    case vt::kUniqueIdentifier: s.put = PutGuid; s.room = kUniqueIdentifierText + 2; return;
    case vt::kBinary:
    case vt::kTimestamp:
      s.put = PutFixedBytes;
      s.width = c.xtype == vt::kTimestamp ? 8 : c.length;
      s.room = 2 + 2 * size_t{s.width};
      return;
    case vt::kChar: s.make = MakeChar; s.narrow = true; return;
    case vt::kNChar: s.make = MakeNChar; return;
    default: s.reads = CellKind::kNull; return;
  }
}

}  // namespace

RowTextPlan::RowTextPlan(const TableRecordWalk& walk, const TextForm& form)
    : walk_(&walk), form_(&form) {
  const std::vector<ColumnPlan>& plan = walk.Plan();
  fixedRoom_ = form.rowStart.size() + form.rowEnd.size();
  for (size_t i = 0; i < plan.size(); ++i) {
    const ColumnInfo& c = *plan[i].column;
    if (form.skipTimestamps && c.xtype == vt::kTimestamp) continue;
    Step s;
    s.index = i;
    s.column = &c;
    s.unicode = IsUnicodeType(c.xtype);
    Choose(plan[i], c, s);
    if (!steps_.empty()) fixedRoom_ += form.separator.size();
    fixedRoom_ += std::max(s.room, form.null.size());
    steps_.push_back(s);
  }
}

RowTextPlan::~RowTextPlan() = default;
RowTextPlan::RowTextPlan(RowTextPlan&&) noexcept = default;

bool RowTextPlan::Write(const TableRecord& record, std::string& out,
                        RowTextScratch& scratch_of_thread) const {
  if (record.suspect || record.compressed || record.cells.size() < walk_->Plan().size())
    return false;
  RowTextScratch::State& scratch = scratch_of_thread.Get();
  const TextForm& form = *form_;
  const ByteView bytes = record.Record();
  const size_t n = steps_.size();
  if (scratch.texts.size() < n) scratch.texts.resize(n);
  if (scratch.routes.size() < n) scratch.routes.resize(n);
  if (scratch.ascii.size() < n) scratch.ascii.resize(n);

  // First the values whose size is known only once made, and the route of
  // every cell; a value that cannot be read leaves the row to the caller.
  size_t room = fixedRoom_;
  for (size_t i = 0; i < n; ++i) {
    const Step& s = steps_[i];
    const CellLocation& cell = record.cells[s.index];
    Route& route = scratch.routes[i];
    if (cell.kind == CellKind::kNull || cell.kind == CellKind::kNotStored) {
      route = Route::kNull;
      continue;
    }
    std::string& text = scratch.texts[i];
    if (cell.kind == s.reads && !cell.complex) {
      if (s.put) {
        route = Route::kPut;
        continue;
      }
      if (s.hex) {
        if (!InRow(cell, bytes)) return false;
        route = Route::kHex;
        room += 2 + 2 * size_t{cell.length};
        continue;
      }
      if (s.narrow) {
        if (const std::optional<std::string_view> ascii = AsciiText(cell, bytes, *s.column)) {
          route = Route::kAscii;
          scratch.ascii[i] = *ascii;
          room += 2 * ascii->size() + 3;
          continue;
        }
      }
      if (s.make) {
        route = Route::kText;
        text.clear();
        if (!s.make(cell, bytes, *s.column, text)) return false;
        room += 2 * text.size() + 3;
        continue;
      }
    }
    route = Route::kField;
    TypedValue& v = scratch.value;
    DecodeCellTypedInto(walk_->Store(), walk_->Profile().Records(), *s.column, cell, bytes, v);
    // sql_variant values are not decoded: no loss of the file's.
    if (v.source == ValueSource::kUnreadable && s.column->xtype != vt::kSqlVariant) return false;
    text.clear();
    form.appendValue(text, *s.column, v);
    room += text.size();
  }
  if (room > kPlanRowLimit) return false;

  // Then the row, its room made once.
  const size_t start = out.size();
  out.resize(start + room);
  char* const base = out.data();
  char* p = PutView(base + start, form.rowStart);
  for (size_t i = 0; i < n; ++i) {
    const Step& s = steps_[i];
    if (i) p = PutView(p, form.separator);
    const CellLocation& cell = record.cells[s.index];
    switch (scratch.routes[i]) {
      case Route::kNull: p = PutView(p, form.null); break;
      case Route::kPut:
        p = s.put(s, cell, bytes, p, form, scratch);
        if (!p) {
          out.resize(start);
          return false;
        }
        break;
      case Route::kText: p = form.putText(p, scratch.texts[i], s.unicode); break;
      case Route::kAscii: p = form.putText(p, scratch.ascii[i], s.unicode); break;
      case Route::kField: p = PutView(p, scratch.texts[i]); break;
      case Route::kHex: p = PutHex(p, *InRow(cell, bytes)); break;
    }
  }
  p = PutView(p, form.rowEnd);
  out.resize(static_cast<size_t>(p - base));
  return true;
}

}  // namespace tollamer
