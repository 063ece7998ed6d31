#include "output/postgres_binary.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "engine/values/number_text.h"
#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kMicrosPerDay = 86400 * kMicrosPerSecond;
constexpr uint16_t kNumericNegative = 0x4000;
constexpr int kNumericBase = 10000;
// The datetimeoffset range of offsets, in minutes.
constexpr int kMaxOffsetMinutes = 14 * 60;

// `value` big-endian into the sizeof(T) bytes at `to`.
template <typename T>
void StoreBig(char* to, T value) {
  using U = std::make_unsigned_t<T>;
  U u = static_cast<U>(value);
  if constexpr (std::endian::native == std::endian::little && sizeof(T) > 1) {
    if constexpr (sizeof(T) == 2) u = static_cast<U>(__builtin_bswap16(u));
    if constexpr (sizeof(T) == 4) u = static_cast<U>(__builtin_bswap32(u));
    if constexpr (sizeof(T) == 8) u = static_cast<U>(__builtin_bswap64(u));
    std::memcpy(to, &u, sizeof u);
  } else {
    for (size_t i = 0; i < sizeof(T); ++i) to[i] = static_cast<char>(u >> (8 * (sizeof(T) - 1 - i)));
  }
}

template <typename T>
void PutBig(std::string& out, T value) {
  char b[sizeof(T)];
  StoreBig(b, value);
  out.append(b, sizeof b);
}

// Room for a value's length, filled in once its bytes are appended.
size_t OpenLength(std::string& out) {
  PutBig<int32_t>(out, 0);
  return out.size();
}
void CloseLength(std::string& out, size_t start) {
  const uint32_t n = static_cast<uint32_t>(out.size() - start);
  for (size_t i = 0; i < 4; ++i) out[start - 4 + i] = static_cast<char>(n >> (8 * (3 - i)));
}

// A value's length and its bytes, in one append.
template <typename T>
void PutField(std::string& out, T value) {
  char b[4 + sizeof(T)];
  StoreBig<int32_t>(b, sizeof(T));
  StoreBig<T>(b + 4, value);
  out.append(b, sizeof b);
}

// Days from 0000-03-01 style civil arithmetic: the proleptic Gregorian day
// number of y-m-d counted from 1970-01-01.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

const int64_t kPgEpochDays = DaysFromCivil(2000, 1, 1);

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidDate(const TypedDateTime& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  return t.day <= kDays[t.month - 1] + (t.month == 2 && LeapYear(t.year));
}

// Microseconds since midnight as the server reads "hh:mm:ss.fffffff": the
// fraction's text through strtod and rounded with rint, as it parses it.
std::optional<int64_t> TimeMicros(const TypedDateTime& t) {
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
      t.second > 59 || t.fractionDigits > 7)
    return std::nullopt;
  int64_t scale = 1;
  for (int i = 0; i < t.fractionDigits; ++i) scale *= 10;
  if (t.fraction >= scale) return std::nullopt;
  int64_t fraction = 0;
  if (t.fractionDigits <= 6) {
    fraction = static_cast<int64_t>(t.fraction) * (kMicrosPerSecond / scale);
  } else if (const uint32_t last = t.fraction % 10; last != 5) {
    // Seven digits whose last is not 5 lie a tenth of a microsecond or
    // more from a half, far beyond the double's error: they round as
    // integers do. Only a last 5 needs the server's own arithmetic.
    fraction = t.fraction / 10 + (last > 5);
  } else {
    char text[12] = ".";
    PutFixedDigits(text + 1, t.fraction, t.fractionDigits)[0] = '\0';
    fraction = static_cast<int64_t>(std::rint(std::strtod(text, nullptr) * 1000000));
  }
  return ((int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * kMicrosPerSecond + fraction;
}

bool PutDateTime(std::string& out, PgBinaryType type, const TypedDateTime& t) {
  const bool want_date = type != PgBinaryType::kTime;
  const bool want_time = type != PgBinaryType::kDate;
  const bool want_offset = type == PgBinaryType::kTimestampTz;
  if (t.hasDate != want_date || t.hasTime != want_time || t.hasOffset != want_offset)
    return false;
  if (want_date && !ValidDate(t)) return false;
  const int64_t days = want_date ? DaysFromCivil(t.year, t.month, t.day) - kPgEpochDays : 0;
  if (type == PgBinaryType::kDate) {
    PutField<int32_t>(out, static_cast<int32_t>(days));
    return true;
  }
  std::optional<int64_t> micros = TimeMicros(t);
  if (!micros) return false;
  int64_t value = days * kMicrosPerDay + *micros;
  if (want_offset) {
    if (std::abs(int{t.offsetMinutes}) > kMaxOffsetMinutes) return false;
    value -= int64_t{t.offsetMinutes} * 60 * kMicrosPerSecond;
  }
  PutField<int64_t>(out, value);
  return true;
}

// A numeric from its sign and its decimal digits before and after the point.
void PutNumeric(std::string& out, bool negative, std::string_view whole, std::string_view fraction) {
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  const size_t whole_groups = (whole.size() + 3) / 4;
  const size_t fraction_groups = (fraction.size() + 3) / 4;
  PutBig<int32_t>(out, static_cast<int32_t>(8 + 2 * (whole_groups + fraction_groups)));
  PutBig<int16_t>(out, static_cast<int16_t>(whole_groups + fraction_groups));
  PutBig<int16_t>(out, static_cast<int16_t>(static_cast<int>(whole_groups) - 1));
  PutBig<uint16_t>(out, negative ? kNumericNegative : 0);
  PutBig<uint16_t>(out, static_cast<uint16_t>(fraction.size()));
  // The whole part's groups end at the point, the fraction's begin there.
  size_t lead = whole.size() % 4 ? whole.size() % 4 : 4;
  for (size_t at = 0; at < whole.size(); at += lead, lead = 4) {
    int group = 0;
    for (size_t i = at; i < at + lead; ++i) group = group * 10 + (whole[i] - '0');
    PutBig<int16_t>(out, static_cast<int16_t>(group));
  }
  for (size_t at = 0; at < fraction.size(); at += 4) {
    int group = 0;
    for (size_t i = at; i < at + 4; ++i) group = group * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    PutBig<int16_t>(out, static_cast<int16_t>(group));
  }
}

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// "-123.45" as kDecimal keeps it.
bool PutDecimalText(std::string& out, std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || !AllDigits(whole) || !AllDigits(fraction) ||
      fraction.size() > 1000)
    return false;
  PutNumeric(out, negative, whole, fraction);
  return true;
}

// Money's ten-thousandths are the digit after the point; the whole part's
// digits are its base-10000 digits.
void PutMoney(std::string& out, int64_t units) {
  const bool negative = units < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : units;
  int16_t digits[6];  // 2^63 / 10^4 has five base-10000 digits, then the fraction
  int n = 0;
  digits[n++] = static_cast<int16_t>(magnitude % kNumericBase);
  for (magnitude /= kNumericBase; magnitude != 0; magnitude /= kNumericBase)
    digits[n++] = static_cast<int16_t>(magnitude % kNumericBase);
  PutBig<int32_t>(out, 8 + 2 * n);
  PutBig<int16_t>(out, static_cast<int16_t>(n));
  PutBig<int16_t>(out, static_cast<int16_t>(n - 2));  // the first digit's power of 10000
  PutBig<uint16_t>(out, negative ? kNumericNegative : 0);
  PutBig<uint16_t>(out, 4);
  for (int i = n; i > 0; --i) PutBig<int16_t>(out, digits[i - 1]);
}

void PutDouble(std::string& out, const TypedValue& v) {
  double d = v.real;
  if (v.singlePrecision) {
    // The double that the shortest text of the real reads as.
    char text[kMaxFloatText];
    const char* end = PutFloatText(text, v);
    std::from_chars(text, end, d);
  }
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  PutField<uint64_t>(out, bits);
}

template <typename T>
bool PutInteger(std::string& out, int64_t v) {
  if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return false;
  PutField<T>(out, static_cast<T>(v));
  return true;
}

// A text column takes any value: the text the text COPY gives it.
bool PutText(std::string& out, const TypedValue& v) {
  const size_t start = OpenLength(out);
  switch (v.kind) {
    case TypedKind::kText:
      // PostgreSQL text holds no NUL: dropped, as the text COPY drops them.
      for (size_t from = 0;;) {
        const size_t nul = v.text.find('\0', from);
        out.append(v.text, from, nul == std::string::npos ? std::string::npos : nul - from);
        if (nul == std::string::npos) break;
        from = nul + 1;
      }
      break;
    case TypedKind::kBytes:
      out += "\\x";
      AppendHexDigits(out, ByteView(v.bytes.data(), v.bytes.size()));
      break;
    case TypedKind::kFloat: out.resize(start - 4); return false;
    default: AppendExportText(out, v); break;
  }
  CloseLength(out, start);
  return true;
}

bool PutValue(std::string& out, PgBinaryType type, const TypedValue& v) {
  if (v.kind == TypedKind::kNull) {
    PutBig<int32_t>(out, -1);
    return true;
  }
  switch (type) {
    case PgBinaryType::kInt2:
      return v.kind == TypedKind::kInteger && PutInteger<int16_t>(out, v.integer);
    case PgBinaryType::kInt4:
      return v.kind == TypedKind::kInteger && PutInteger<int32_t>(out, v.integer);
    case PgBinaryType::kInt8:
      return v.kind == TypedKind::kInteger && PutInteger<int64_t>(out, v.integer);
    case PgBinaryType::kBool:
      if (v.kind != TypedKind::kInteger) return false;
      PutField<uint8_t>(out, v.integer != 0);
      return true;
    case PgBinaryType::kFloat8:
      if (v.kind != TypedKind::kFloat) return false;
      PutDouble(out, v);
      return true;
    case PgBinaryType::kNumeric:
      if (v.kind == TypedKind::kMoney) {
        PutMoney(out, v.integer);
        return true;
      }
      return v.kind == TypedKind::kDecimal && PutDecimalText(out, v.text);
    case PgBinaryType::kTimestamp:
    case PgBinaryType::kTimestampTz:
    case PgBinaryType::kDate:
    case PgBinaryType::kTime:
      return v.kind == TypedKind::kDateTime && PutDateTime(out, type, v.time);
    case PgBinaryType::kUuid: {
      if (v.kind != TypedKind::kGuid || v.bytes.size() != 16) return false;
      // The first three groups are stored little-endian.
      static constexpr uint8_t kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
      char b[4 + 16];
      StoreBig<int32_t>(b, 16);
      for (size_t i = 0; i < 16; ++i) b[4 + i] = static_cast<char>(v.bytes[kOrder[i]]);
      out.append(b, sizeof b);
      return true;
    }
    case PgBinaryType::kBytea:
      if (v.kind == TypedKind::kBytes) {
        PutBig<int32_t>(out, static_cast<int32_t>(v.bytes.size()));
        out.append(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size());
        return true;
      }
      if (v.kind != TypedKind::kText || !v.text.empty()) return false;
      PutBig<int32_t>(out, 0);
      return true;
    case PgBinaryType::kText: return PutText(out, v);
  }
  return false;
}

}  // namespace

PgBinaryType PgBinaryTypeOf(const ColumnInfo& column) {
  const std::string_view type = MappingOf(column.xtype).postgres;
  static constexpr struct {
    std::string_view name;
    PgBinaryType type;
  } kTypes[] = {{"smallint", PgBinaryType::kInt2},
                {"integer", PgBinaryType::kInt4},
                {"bigint", PgBinaryType::kInt8},
                {"boolean", PgBinaryType::kBool},
                {"double precision", PgBinaryType::kFloat8},
                {"timestamp", PgBinaryType::kTimestamp},
                {"timestamptz", PgBinaryType::kTimestampTz},
                {"date", PgBinaryType::kDate},
                {"time", PgBinaryType::kTime},
                {"uuid", PgBinaryType::kUuid},
                {"bytea", PgBinaryType::kBytea}};
  if (type.starts_with("numeric")) return PgBinaryType::kNumeric;
  for (const auto& t : kTypes)
    if (t.name == type) return t.type;
  return PgBinaryType::kText;
}

void AppendPgCopyHeader(std::string& out) {
  out += kPgCopySignature;
  PutBig<int32_t>(out, 0);
  PutBig<int32_t>(out, 0);
}

void AppendPgCopyTrailer(std::string& out) { PutBig<int16_t>(out, -1); }

bool AppendPgBinaryRow(std::string& out, const std::vector<PgBinaryType>& types,
                       const std::vector<TypedValue>& row) {
  const size_t start = out.size();
  PutBig<int16_t>(out, static_cast<int16_t>(types.size()));
  static const TypedValue kNull;
  for (size_t i = 0; i < types.size(); ++i) {
    if (!PutValue(out, types[i], i < row.size() ? row[i] : kNull)) {
      out.resize(start);
      return false;
    }
  }
  return true;
}

}  // namespace tollamer
