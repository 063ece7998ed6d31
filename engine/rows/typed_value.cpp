#include "engine/rows/typed_value.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "engine/values/number_text.h"
#include "engine/values/value_format.h"

namespace tollamer {

TypedValue TypedValue::Integer(int64_t v) {
  TypedValue t;
  t.kind = TypedKind::kInteger;
  t.integer = v;
  return t;
}

TypedValue TypedValue::Float(double v) {
  TypedValue t;
  t.kind = TypedKind::kFloat;
  t.real = v;
  return t;
}

TypedValue TypedValue::Money(int64_t ten_thousandths) {
  TypedValue t;
  t.kind = TypedKind::kMoney;
  t.integer = ten_thousandths;
  return t;
}

TypedValue TypedValue::Decimal(std::string digits) {
  TypedValue t;
  t.kind = TypedKind::kDecimal;
  t.text = std::move(digits);
  return t;
}

TypedValue TypedValue::Text(std::string utf8) {
  TypedValue t;
  t.kind = TypedKind::kText;
  t.text = std::move(utf8);
  return t;
}

TypedValue TypedValue::Bytes(std::vector<uint8_t> b) {
  TypedValue t;
  t.kind = TypedKind::kBytes;
  t.bytes = std::move(b);
  return t;
}

TypedValue TypedValue::Guid(std::vector<uint8_t> b) {
  TypedValue t;
  t.kind = TypedKind::kGuid;
  t.bytes = std::move(b);
  return t;
}

TypedValue TypedValue::DateTime(const TypedDateTime& d) {
  TypedValue t;
  t.kind = TypedKind::kDateTime;
  t.time = d;
  return t;
}

std::string GuidText(const std::vector<uint8_t>& b) {
  if (b.size() != 16) return {};
  return UniqueIdentifierText(ByteView(b.data(), b.size()));
}

std::string HexDigits(const std::vector<uint8_t>& bytes) {
  std::string out;
  AppendHexDigits(out, ByteView(bytes.data(), bytes.size()));
  return out;
}

char* PutIsoDateTimeText(char* at, const TypedDateTime& t, char separator) {
  // Written digit by digit: this runs for every date of every exported row.
  char* p = at;
  if (t.hasDate) {
    if (t.year < 0) *p++ = '-';
    p = PutFixedDigits(p, static_cast<uint64_t>(t.year < 0 ? -t.year : t.year), 4);
    *p++ = '-';
    p = PutFixedDigits(p, static_cast<uint64_t>(t.month), 2);
    *p++ = '-';
    p = PutFixedDigits(p, static_cast<uint64_t>(t.day), 2);
  }
  if (t.hasTime) {
    if (t.hasDate) *p++ = separator;
    p = PutFixedDigits(p, static_cast<uint64_t>(t.hour), 2);
    *p++ = ':';
    p = PutFixedDigits(p, static_cast<uint64_t>(t.minute), 2);
    *p++ = ':';
    p = PutFixedDigits(p, static_cast<uint64_t>(t.second), 2);
    if (t.fractionDigits > 0) {
      *p++ = '.';
      p = PutFixedDigits(p, t.fraction, std::min<int>(t.fractionDigits, 7));
    }
  }
  if (t.hasOffset) {
    const int m = std::abs(static_cast<int>(t.offsetMinutes));
    *p++ = t.offsetMinutes < 0 ? '-' : '+';
    p = PutFixedDigits(p, static_cast<uint64_t>(m / 60), 2);
    *p++ = ':';
    p = PutFixedDigits(p, static_cast<uint64_t>(m % 60), 2);
  }
  return p;
}

void AppendIsoDateTimeText(std::string& out, const TypedDateTime& t, char separator) {
  char buf[kMaxIsoDateTimeText];
  out.append(buf, PutIsoDateTimeText(buf, t, separator));
}

std::string IsoDateTimeText(const TypedDateTime& t, char separator) {
  std::string out;
  AppendIsoDateTimeText(out, t, separator);
  return out;
}

}  // namespace tollamer

namespace tollamer {

char* PutFloatText(char* at, const TypedValue& v) {
  const auto result = v.singlePrecision
                          ? std::to_chars(at, at + kMaxFloatText, static_cast<float>(v.real))
                          : std::to_chars(at, at + kMaxFloatText, v.real);
  return result.ptr;
}

std::string FloatText(const TypedValue& v) {
  char buf[kMaxFloatText];
  return std::string(buf, PutFloatText(buf, v));
}

}  // namespace tollamer
