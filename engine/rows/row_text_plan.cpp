#include "engine/rows/row_text_plan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/rows/typed_decode.h"
#include "engine/values/date_time_text.h"
#include "engine/values/decimal_text.h"
#include "engine/values/number_text.h"
#include "engine/values/value_format.h"
#include "engine/values/wide_text.h"
#include "platform/text.h"
#include "platform/utf16_put.h"

namespace tollamer {

namespace {

namespace vt = value_type;

// The converter a column's cells go through.
enum class Op : uint8_t {
  kTyped,  // none of the plan's own: the typed value and the form's writer
  kBit,
  kTinyInt,
  kSmallInt,
  kInt,
  kBigInt,
  kSmallMoney,
  kMoney,
  kReal,
  kFloat,
  kDateTime,
  kSmallDateTime,
  kDate,
  kTime,            // time, datetime2, datetimeoffset: `width` bytes of
  kDateTime2,       // time units, then the date, then the zone offset
  kDateTimeOffset,
  kDecimal,
  kGuid,
  kFixedBytes,
  kChar,
  kNChar,
  kVarChar,
  kNVarChar,
  kVarBytes,
};

// A short text (a separator, NULL, a row end) kept so that it is copied
// as one 8-byte store.
struct ShortText {
  char bytes[8] = {};
  uint8_t size = 0;
  bool fits = false;  // at most 8 bytes
};

ShortText MakeShort(const std::string& text) {
  ShortText t;
  t.fits = text.size() <= sizeof t.bytes;
  t.size = static_cast<uint8_t>(t.fits ? text.size() : 0);
  if (t.fits) std::memcpy(t.bytes, text.data(), text.size());
  return t;
}

}  // namespace

struct RowTextPlan::Step {
  uint32_t index = 0;  // in record.cells
  Op op = Op::kTyped;
  // The cell the converter reads; a cell of another kind (or a complex
  // one) goes the typed way.
  CellKind reads = CellKind::kNull;
  bool unicode = false;  // a Unicode text column
  bool sized = false;    // text whose room depends on the cell (rowRoom_ has its NULL's)
  uint8_t scale = 0;     // time units and decimal digits after the point
  uint16_t width = 0;    // fixed bytes: the stored width; time types: the time's bytes
  uint32_t room = 0;     // fixed values: the most the value or NULL takes
  const ColumnInfo* column = nullptr;
};

using Step = RowTextPlan::Step;

struct RowTextPlan::Texts {
  ShortText separator, null, rowStart, rowEnd;
};

namespace {

constexpr size_t kMaxIntegerText = 20;  // "-9223372036854775808"
constexpr size_t kMaxDecimalText = 44;  // "-0." and 38 digits, or 38 digits, '.' and '-'
// Room past the last value for the 8- and 16-byte copies of short texts
// and dates.
constexpr size_t kCopySlack = 16;

char* PutView(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

// A short text as one 8-byte copy (the room has 8 bytes past it); `whole`
// when it is longer.
char* PutShort(char* at, const ShortText& t) {
  std::memcpy(at, t.bytes, sizeof t.bytes);
  return at + t.size;
}
char* PutShort(char* at, const ShortText& t, const std::string& whole) {
  return t.fits ? PutShort(at, t) : PutView(at, whole);
}

char* PutSigned(char* at, int64_t value) {
  if (value < 0) {
    *at++ = '-';
    // Unsigned magnitude: the most negative value has no positive twin.
    return PutUnsignedText(at, 0 - static_cast<uint64_t>(value));
  }
  return PutUnsignedText(at, static_cast<uint64_t>(value));
}

// Two digits at `at` (value below 100).
char* PutPair(char* at, uint64_t value) {
  std::memcpy(at, &kDigitPairs[2 * value], 2);
  return at + 2;
}

// The date part of a date value as PutIsoDateTimeText writes it, kept per
// thread by day number: a table's rows share few dates, and each date's
// calendar is worked out once.
struct DateTextCache {
  static constexpr size_t kEntries = 512;
  static constexpr size_t kText = 16;  // "-yyyy-mm-dd" and more, copied whole
  struct Entry {
    int64_t days = 0;
    uint8_t size = 0;  // 0: empty
    char text[kText];
  };
  explicit DateTextCache(int start) : startYear(start) {}
  int startYear;  // the year day 0 falls in
  std::array<Entry, kEntries> entries;

  // Writes up to kText bytes at `at` (the room of a date and time).
  char* Put(char* at, int64_t days) {
    Entry& e = entries[static_cast<uint64_t>(days) % kEntries];
    if (e.size == 0 || e.days != days) {
      const CalendarDate d = DaysToDate(startYear, days);
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

// "hh:mm:" of each minute of a day, 8 bytes each (6 used): a time's hours
// and minutes copied at once.
constexpr size_t kMinutesPerDay = 24 * 60;
constexpr std::array<std::array<char, 8>, kMinutesPerDay> kMinuteTexts = [] {
  std::array<std::array<char, 8>, kMinutesPerDay> texts{};
  for (size_t m = 0; m < kMinutesPerDay; ++m) {
    const size_t h = m / 60, mm = m % 60;
    texts[m] = {static_cast<char>('0' + h / 10), static_cast<char>('0' + h % 10), ':',
                static_cast<char>('0' + mm / 10), static_cast<char>('0' + mm % 10), ':', 0, 0};
  }
  return texts;
}();

// ".mmm" of each of a datetime's 300 ticks in a second: the milliseconds
// rounded as the server shows them (.000, .003, .007).
constexpr uint64_t kTicksPerSecond = 300;
constexpr uint64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr std::array<std::array<char, 4>, kTicksPerSecond> kTickTexts = [] {
  std::array<std::array<char, 4>, kTicksPerSecond> texts{};
  for (size_t t = 0; t < kTicksPerSecond; ++t) {
    const size_t ms = (10 * t + 1) / 3;
    texts[t] = {'.', static_cast<char>('0' + ms / 100), static_cast<char>('0' + ms / 10 % 10),
                static_cast<char>('0' + ms % 10)};
  }
  return texts;
}();

// hh:mm:ss of a time of day in seconds, hours past a day wrapped.
char* PutClock(char* at, uint64_t seconds) {
  const uint64_t minutes = seconds / 60;
  std::memcpy(at, kMinuteTexts[minutes % kMinutesPerDay].data(), 8);
  return PutPair(at + 6, seconds - 60 * minutes);
}

// The time of `units` of 10^-scale seconds as PutIsoDateTimeText writes a
// time of scale `scale` (at most 7): hh:mm:ss, then the fraction.
char* PutTimeOfDay(char* at, uint64_t units, uint8_t scale) {
  static constexpr std::array<uint64_t, kMaxTimeScale + 1> kPerSecond = {
      1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000};
  const uint64_t per_second = kPerSecond[scale];
  const uint64_t seconds = units / per_second;
  at = PutClock(at, seconds);
  if (scale == 0) return at;
  *at++ = '.';
  return PutFixedDigits(at, units - seconds * per_second, scale);
}

// `width` bytes little-endian (at most 8).
uint64_t LeBytes(const uint8_t* b, size_t width) {
  uint64_t v = 0;
  for (size_t i = width; i > 0; --i) v = (v << 8) | b[i - 1];
  return v;
}

char* PutHex(char* at, ByteView bytes) {
  *at++ = '0';
  *at++ = 'x';
  return PutHexDigits(at, bytes);
}

// The stored text of a char or nchar value without its pad blanks (ASCII
// bytes or UTF-16LE units).
size_t WithoutPad(const uint8_t* b, size_t size) {
  while (size > 0 && b[size - 1] == ' ') --size;
  return size;
}
size_t WithoutWidePad(const uint8_t* b, size_t size) {
  size &= ~size_t{1};
  while (size >= 2 && b[size - 2] == ' ' && b[size - 1] == 0) size -= 2;
  return size;
}

bool IsUnicodeType(uint8_t xtype) {
  return xtype == vt::kNChar || xtype == vt::kNVarChar || xtype == vt::kNText || xtype == vt::kXml;
}

std::string_view AsText(const uint8_t* b, size_t size) {
  return {reinterpret_cast<const char*>(b), size};
}

}  // namespace

// Rows gathered past this many bytes are appended to the output before
// the next row is made.
constexpr size_t kGatherBytes = 16 * 1024;

// The texts of the row being written, reused from row to row.
struct RowTextScratch::State {
  // The rows gathered (`gathered` bytes), then the row being made: room
  // for kGatherBytes and a row of kPlanRowLimit bytes.
  std::unique_ptr<char[]> row;
  size_t gathered = 0;
  std::string text;
  TypedValue value;
  DateTextCache dates1900{1900};
  DateTextCache dates0001{1};
};

RowTextScratch::RowTextScratch() : state_(std::make_unique<State>()) {}
RowTextScratch::~RowTextScratch() = default;

namespace {

// The room a sized step's value takes at most as the plan writes it (the
// typed text of a cell of another kind is measured when made).
size_t SizedRoom(const Step& s, const CellLocation& cell, const TextForm& form) {
  const size_t length = s.reads == CellKind::kVariable ? cell.length : s.width;
  switch (s.op) {
    case Op::kChar:
    case Op::kVarChar: return 2 * size_t{length} + 3;
    case Op::kNChar:
    case Op::kNVarChar:
      // Without putWide: made as UTF-8 (3 bytes a unit), then put as text.
      return (form.putWide ? 1 : 2) * platform::kUtf8PerUnit * (length / 2) + 3;
    case Op::kVarBytes: return 2 + 2 * size_t{length};
    default: return 0;
  }
}

// The converter of one planned column, chosen by its place and type.
void Choose(const ColumnPlan& p, const ColumnInfo& c, Step& s) {
  s.op = Op::kTyped;
  if (p.place == ColumnPlace::kBit) {
    s.reads = CellKind::kBit;
    s.op = Op::kBit;
    s.width = 1;
    s.room = 1;
    return;
  }
  if (p.place == ColumnPlace::kVariable) {
    s.reads = CellKind::kVariable;
    s.sized = true;
    switch (c.xtype) {
      case vt::kVarChar: s.op = Op::kVarChar; return;
      case vt::kNVarChar: s.op = Op::kNVarChar; return;
      case vt::kVarBinary: case vt::kClr: s.op = Op::kVarBytes; return;
      default: s.sized = false; s.reads = CellKind::kNull; return;
    }
  }
  if (p.place != ColumnPlace::kFixed) return;
  s.reads = CellKind::kFixed;
  const auto fixed = [&](Op op, uint16_t width, size_t room) {
    s.op = op;
    s.width = width;
    s.room = static_cast<uint32_t>(room);
  };
  constexpr size_t kDateRoom = kMaxIsoDateTimeText + 2;  // and quotes
  switch (c.xtype) {
    case vt::kTinyInt: return fixed(Op::kTinyInt, 1, kMaxIntegerText);
    case vt::kSmallInt: return fixed(Op::kSmallInt, 2, kMaxIntegerText);
    case vt::kInt: return fixed(Op::kInt, 4, kMaxIntegerText);
    case vt::kBigInt: return fixed(Op::kBigInt, 8, kMaxIntegerText);
    case vt::kSmallMoney: return fixed(Op::kSmallMoney, 4, kMaxMoneyText);
    case vt::kMoney: return fixed(Op::kMoney, 8, kMaxMoneyText);
    case vt::kReal: return fixed(Op::kReal, 4, kMaxFloatText);
    case vt::kFloat: return fixed(Op::kFloat, 8, kMaxFloatText);
    case vt::kDateTime: return fixed(Op::kDateTime, 8, kDateRoom);
    case vt::kSmallDateTime: return fixed(Op::kSmallDateTime, 4, kDateRoom);
    case vt::kDate: return fixed(Op::kDate, 3, kDateRoom);
    case vt::kTime:
    case vt::kDateTime2:
    case vt::kDateTimeOffset: {
      // Of the usual widths only: 3 to 5 bytes of time units.
      const size_t tail = c.xtype == vt::kTime ? 0 : c.xtype == vt::kDateTime2 ? 3 : 5;
      if (c.xscale > kMaxTimeScale || c.length < tail + 3 || c.length > tail + 5) {
        s.reads = CellKind::kNull;
        return;
      }
      s.scale = c.xscale;
      s.room = kDateRoom;
      s.width = static_cast<uint16_t>(c.length - tail);
      s.op = c.xtype == vt::kTime        ? Op::kTime
             : c.xtype == vt::kDateTime2 ? Op::kDateTime2
                                         : Op::kDateTimeOffset;
      return;
    }
    case vt::kDecimal:
    case vt::kNumeric: {
      const size_t width = DecimalStorageSize(c.xprec);
      if (width == 0 || c.xscale > 38) {
        s.reads = CellKind::kNull;
        return;
      }
      s.scale = c.xscale;
      return fixed(Op::kDecimal, static_cast<uint16_t>(width), kMaxDecimalText);
    }
    case vt::kUniqueIdentifier:
      return fixed(Op::kGuid, kUniqueIdentifierBytes, kUniqueIdentifierText + 2);
    case vt::kBinary:
    case vt::kTimestamp: {
      const uint16_t width = c.xtype == vt::kTimestamp ? 8 : c.length;
      return fixed(Op::kFixedBytes, width, 2 + 2 * size_t{width});
    }
    case vt::kChar:
    case vt::kNChar:
      s.op = c.xtype == vt::kChar ? Op::kChar : Op::kNChar;
      s.width = c.length;
      s.sized = true;
      return;
    default: s.reads = CellKind::kNull; return;
  }
}

}  // namespace

RowTextPlan::RowTextPlan(const TableRecordWalk& walk, const TextForm& form)
    : walk_(&walk), form_(&form), texts_(std::make_unique<Texts>()) {
  texts_->separator = MakeShort(form.separator);
  texts_->null = MakeShort(form.null);
  texts_->rowStart = MakeShort(form.rowStart);
  texts_->rowEnd = MakeShort(form.rowEnd);
  const std::vector<ColumnPlan>& plan = walk.Plan();
  planColumns_ = plan.size();
  rowRoom_ = form.rowStart.size() + form.rowEnd.size() + kCopySlack;
  for (size_t i = 0; i < plan.size(); ++i) {
    const ColumnInfo& c = *plan[i].column;
    if (form.skipTimestamps && c.xtype == vt::kTimestamp) continue;
    Step s;
    s.index = static_cast<uint32_t>(i);
    s.column = &c;
    s.unicode = IsUnicodeType(c.xtype);
    Choose(plan[i], c, s);
    s.room = static_cast<uint32_t>(std::max<size_t>(s.room, form.null.size()));
    if (!steps_.empty()) rowRoom_ += form.separator.size();
    rowRoom_ += s.room;  // a sized step's room here is its NULL's
    steps_.push_back(s);
  }
  // A form whose separator or NULL is longer than 8 bytes is written the
  // typed way, and so is a table whose fixed values alone pass the limit.
  usable_ = texts_->separator.fits && texts_->null.fits && rowRoom_ <= kPlanRowLimit;
}

RowTextPlan::~RowTextPlan() = default;
RowTextPlan::RowTextPlan(RowTextPlan&&) noexcept = default;


void RowTextPlan::Flush(std::string& out, RowTextScratch& scratch_of_thread) {
  RowTextScratch::State& scratch = scratch_of_thread.Get();
  if (scratch.gathered == 0) return;
  out.append(scratch.row.get(), scratch.gathered);
  scratch.gathered = 0;
}

size_t RowTextPlan::GatheredSize(const std::string& out, RowTextScratch& scratch) {
  return out.size() + scratch.Get().gathered;
}

bool RowTextPlan::Write(const TableRecord& record, std::string& out,
                        RowTextScratch& scratch_of_thread) const {
  Flush(out, scratch_of_thread);
  RowTextScratch::State& scratch = scratch_of_thread.Get();
  if (!scratch.row) scratch.row.reset(new char[kGatherBytes + kPlanRowLimit]);
  char* const end = Put(record, scratch.row.get(), scratch_of_thread);
  if (!end) return false;
  out.append(scratch.row.get(), static_cast<size_t>(end - scratch.row.get()));
  return true;
}

bool RowTextPlan::WriteGathered(const TableRecord& record, std::string& out,
                                RowTextScratch& scratch_of_thread) const {
  RowTextScratch::State& scratch = scratch_of_thread.Get();
  if (scratch.gathered > kGatherBytes) Flush(out, scratch_of_thread);
  if (!scratch.row) scratch.row.reset(new char[kGatherBytes + kPlanRowLimit]);
  char* const at = scratch.row.get() + scratch.gathered;
  char* const end = Put(record, at, scratch_of_thread);
  if (!end) return false;
  scratch.gathered += static_cast<size_t>(end - at);
  return true;
}

// Hot: without it the compiler judges the converters of a switch of many
// cases rarely run and writes their divisions by constants as divisions.
[[gnu::hot]] char* RowTextPlan::Put(const TableRecord& record, char* const stage,
                                    RowTextScratch& scratch_of_thread) const {
  if (record.suspect || record.compressed || record.cells.size() < planColumns_) return nullptr;
  if (!usable_) return nullptr;
  RowTextScratch::State& scratch = scratch_of_thread.Get();
  const TextForm& form = *form_;
  const Texts& texts = *texts_;
  const ByteView bytes = record.Record();
  const size_t n = steps_.size();

  // The row is made in the room of kPlanRowLimit bytes at `stage`. The
  // room the plan's fixed values take (rowRoom_) is kept free past every
  // value whose size depends on its cell.
  char* const limit = stage + kPlanRowLimit;
  const size_t reserved = rowRoom_;
  const auto fits = [&](const char* at, size_t need) {
    return static_cast<size_t>(limit - at) >= reserved + need;
  };
  char* p = PutShort(stage, texts.rowStart, form.rowStart);
  for (size_t i = 0; i < n; ++i) {
    const Step& s = steps_[i];
    if (i) p = PutShort(p, texts.separator);
    const CellLocation& cell = record.cells[s.index];
    if (cell.kind == CellKind::kNull || cell.kind == CellKind::kNotStored) {
      p = PutShort(p, texts.null);
      continue;
    }
    // The value's bytes: `width` fixed bytes, or the variable cell's. (A
    // step without a converter of its own reads no kind of cell.)
    const bool own = cell.kind == s.reads && !cell.complex;
    const size_t size = s.reads == CellKind::kVariable ? cell.length : s.width;
    if (own && !bytes.Contains(cell.offset, size)) return nullptr;
    const uint8_t* const v = own ? bytes.data() + cell.offset : nullptr;
    if (s.sized && own && !fits(p, SizedRoom(s, cell, form))) return nullptr;
    switch (own ? s.op : Op::kTyped) {
      case Op::kBit: *p++ = static_cast<char>('0' + ((*v >> (cell.bit & 7)) & 1)); break;
      case Op::kTinyInt: p = PutUnsignedText(p, *v); break;
      case Op::kSmallInt: p = PutSigned(p, static_cast<int16_t>(LeBytes(v, 2))); break;
      case Op::kInt: p = PutSigned(p, static_cast<int32_t>(LeBytes(v, 4))); break;
      case Op::kBigInt: p = PutSigned(p, static_cast<int64_t>(LeBytes(v, 8))); break;
      case Op::kSmallMoney: p = PutMoneyText(p, static_cast<int32_t>(LeBytes(v, 4))); break;
      case Op::kMoney: p = PutMoneyText(p, static_cast<int64_t>(LeBytes(v, 8))); break;
      case Op::kReal:
      case Op::kFloat: {
        double real;
        if (s.op == Op::kReal) {
          float single;
          std::memcpy(&single, v, sizeof single);
          real = single;
          if (form.finiteOnly && !std::isfinite(real)) {
            p = PutView(p, form.null);
            break;
          }
          p = std::to_chars(p, p + kMaxFloatText, single).ptr;
          break;
        }
        std::memcpy(&real, v, sizeof real);
        if (form.finiteOnly && !std::isfinite(real)) {
          p = PutView(p, form.null);
          break;
        }
        p = PutShortestDouble(p, real);
        break;
      }
      case Op::kDateTime: {
        // 1/300-second ticks since midnight, then days since 1900.
        if (form.quoteDates) *p++ = '\'';
        p = scratch.dates1900.Put(p, static_cast<int32_t>(LeBytes(v + 4, 4)));
        *p++ = form.dateSeparator;
        // The minutes first, then the second and tick within the minute:
        // two divisions in a row where the seconds first would take three.
        const uint64_t ticks = LeBytes(v, 4);
        const uint64_t minutes = ticks / kTicksPerMinute;
        const uint64_t within = ticks - minutes * kTicksPerMinute;
        const uint64_t second = within / kTicksPerSecond;
        const uint64_t of_day = minutes < kMinutesPerDay ? minutes : minutes % kMinutesPerDay;
        std::memcpy(p, kMinuteTexts[of_day].data(), 8);
        p = PutPair(p + 6, second);
        std::memcpy(p, kTickTexts[within - kTicksPerSecond * second].data(), 4);
        p += 4;
        if (form.quoteDates) *p++ = '\'';
        break;
      }
      case Op::kSmallDateTime:
        // Minutes since midnight, then days since 1900.
        if (form.quoteDates) *p++ = '\'';
        p = scratch.dates1900.Put(p, LeBytes(v + 2, 2));
        *p++ = form.dateSeparator;
        p = PutClock(p, LeBytes(v, 2) * 60);
        if (form.quoteDates) *p++ = '\'';
        break;
      case Op::kDate:
        if (form.quoteDates) *p++ = '\'';
        p = scratch.dates0001.Put(p, LeBytes(v, 3));
        if (form.quoteDates) *p++ = '\'';
        break;
      case Op::kTime:
      case Op::kDateTime2:
      case Op::kDateTimeOffset: {
        if (form.quoteDates) *p++ = '\'';
        if (s.op != Op::kTime) {
          p = scratch.dates0001.Put(p, LeBytes(v + s.width, 3));
          *p++ = form.dateSeparator;
        }
        p = PutTimeOfDay(p, LeBytes(v, s.width), s.scale);
        if (s.op == Op::kDateTimeOffset) {
          const int offset = static_cast<int16_t>(LeBytes(v + s.width + 3, 2));
          const int m = offset < 0 ? -offset : offset;
          *p++ = offset < 0 ? '-' : '+';
          p = PutFixedDigits(p, static_cast<uint64_t>(m / 60), 2);
          *p++ = ':';
          p = PutPair(p, static_cast<uint64_t>(m % 60));
        }
        if (form.quoteDates) *p++ = '\'';
        break;
      }
      case Op::kDecimal: {
        // A sign byte (1 positive), then the magnitude little-endian.
        const uint64_t low = LeBytes(v + 1, std::min<size_t>(size - 1, 8));
        const uint64_t high = size > 9 ? LeBytes(v + 9, size - 9) : 0;
        const unsigned __int128 magnitude = (static_cast<unsigned __int128>(high) << 64) | low;
        if (v[0] == 0 && magnitude != 0) *p++ = '-';
        p = PutScaledDigits(p, magnitude, s.scale);
        break;
      }
      case Op::kGuid:
        if (form.quoteDates) *p++ = '\'';
        p = PutUniqueIdentifierText(p, v);
        if (form.quoteDates) *p++ = '\'';
        break;
      case Op::kFixedBytes:
      case Op::kVarBytes: p = PutHex(p, ByteView(v, size)); break;
      case Op::kChar:
      case Op::kVarChar: {
        // ASCII bytes are the text whatever the code page: written from
        // the record itself.
        const size_t kept = s.op == Op::kChar ? WithoutPad(v, size) : size;
        char* const end = form.putAscii ? form.putAscii(p, AsText(v, kept))
                          : platform::IsAscii({v, kept}) ? form.putText(p, AsText(v, kept), false)
                                                         : nullptr;
        if (end) {
          p = end;
          break;
        }
        std::string& text = scratch.text;
        text.clear();
        const ByteView all(v, size);
        AppendNarrowJudgedBy(all, UpToNul(all), s.column->codePage, text);
        if (s.op == Op::kChar) text.resize(WithoutPad(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        if (!fits(p, 2 * text.size() + 3)) return nullptr;
        p = form.putText(p, text, false);
        break;
      }
      case Op::kNChar:
      case Op::kNVarChar: {
        const size_t kept = s.op == Op::kNChar ? WithoutWidePad(v, size) : size;
        if (form.putWide) {
          p = form.putWide(p, v, kept / 2, s.unicode);
          break;
        }
        std::string& text = scratch.text;
        text.clear();
        platform::AppendUtf16LeAsUtf8({v, kept}, text);
        p = form.putText(p, text, s.unicode);
        break;
      }
      case Op::kTyped: {
        TypedValue& value = scratch.value;
        DecodeCellTypedInto(walk_->Store(), walk_->Profile().Records(), *s.column, cell, bytes,
                            value);
        // sql_variant values are not decoded: no loss of the file's.
        if (value.source == ValueSource::kUnreadable && s.column->xtype != vt::kSqlVariant)
          return nullptr;
        std::string& text = scratch.text;
        text.clear();
        form.appendValue(text, *s.column, value);
        if (!fits(p, text.size())) return nullptr;
        p = PutView(p, text);
        break;
      }
    }
  }
  return PutShort(p, texts.rowEnd, form.rowEnd);
}

}  // namespace tollamer
