// A column value decoded once into what it is, before any text is made of
// it: the complete stored value, not the grid's cut display text. Export,
// import and the record grid's texts are all formatted from these.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tollamer {

enum class TypedKind : uint8_t {
  kNull,      // NULL, or a column the record does not store
  kInteger,   // tinyint, smallint, int, bigint, bit
  kDecimal,   // decimal/numeric: exact digits in `text` ("-123.45")
  kFloat,     // real, float
  kMoney,     // money, smallmoney: `integer` in units of 1/10000
  kDateTime,  // datetime, smalldatetime, date, time, datetime2, datetimeoffset
  kText,      // char, varchar, text and their Unicode kinds, xml: UTF-8 `text`
  kBytes,     // binary, varbinary, image, timestamp, CLR types
  kGuid,      // uniqueidentifier: the 16 stored bytes
};

// The parts of a date and time value; which of them a value has depends
// on its type (a date has no time, a time no date).
struct TypedDateTime {
  bool hasDate = true;
  bool hasTime = true;
  bool hasOffset = false;
  int year = 1900;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  uint32_t fraction = 0;   // in units of 10^-fractionDigits seconds
  uint8_t fractionDigits = 0;  // 0 to 7
  int16_t offsetMinutes = 0;   // datetimeoffset: the stored zone offset
  // Whole days a damaged time of day runs past midnight; `hour` is wrapped.
  uint64_t wrappedDays = 0;
};

// How the record held a value. Exports read only the value; the record
// grid shows some values by how they were held (see table_rows_text.h).
enum class ValueSource : uint8_t {
  kStored,      // in the record, or through a text pointer
  kOffRow,      // through the in-row pointer of a complex column
  kNoBytes,     // a variable or compressed value of zero bytes
  kNotStored,   // a column the record does not store
  kUnreadable,  // bytes that are not there or cannot be decoded
};

struct TypedValue {
  TypedKind kind = TypedKind::kNull;
  ValueSource source = ValueSource::kStored;
  // kInteger, kMoney: the value. kDecimal: the stored sign byte (0 is
  // negative). kText of a char or nchar column: the pad blanks dropped.
  int64_t integer = 0;
  double real = 0;
  std::string text;            // kDecimal digits, kText content
  std::vector<uint8_t> bytes;  // kBytes, kGuid
  TypedDateTime time;
  bool singlePrecision = false;  // kFloat from a real column

  static TypedValue Null() { return {}; }
  static TypedValue Integer(int64_t v);
  static TypedValue Float(double v);
  static TypedValue Money(int64_t ten_thousandths);
  static TypedValue Decimal(std::string digits);
  static TypedValue Text(std::string utf8);
  static TypedValue Bytes(std::vector<uint8_t> b);
  static TypedValue Guid(std::vector<uint8_t> b);
  static TypedValue DateTime(const TypedDateTime& t);

  bool IsNull() const { return kind == TypedKind::kNull; }
};

// Text forms shared by the writers.
// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (upper case as the server shows it; the first three
// groups are stored little-endian).
std::string GuidText(const std::vector<uint8_t>& bytes);
// Upper-case hex digits of each byte, without a prefix.
std::string HexDigits(const std::vector<uint8_t>& bytes);
// The shortest text that reads back as the same number ("0.1" for a real
// 0.1, not its double expansion); "inf", "-inf", "nan" for the others.
std::string FloatText(const TypedValue& v);
// The same written at `at` (room for kMaxFloatText bytes); returns the end.
inline constexpr size_t kMaxFloatText = 32;
char* PutFloatText(char* at, const TypedValue& v);
// ISO 8601: "2024-01-31 13:14:15.1234567+01:00", date and time parts as
// the value has them. `separator` goes between date and time (' ' or 'T').
std::string IsoDateTimeText(const TypedDateTime& t, char separator = ' ');
void AppendIsoDateTimeText(std::string& out, const TypedDateTime& t, char separator = ' ');
// The same written at `at` (room for kMaxIsoDateTimeText bytes); returns the end.
inline constexpr size_t kMaxIsoDateTimeText = 35;  // "-yyyy-mm-dd hh:mm:ss.fffffff+hh:mm"
char* PutIsoDateTimeText(char* at, const TypedDateTime& t, char separator = ' ');

}  // namespace tollamer
