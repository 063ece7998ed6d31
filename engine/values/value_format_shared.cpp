#include "engine/values/value_format_shared.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "engine/values/date_time_text.h"
#include "engine/values/number_text.h"
#include "engine/values/value_format.h"

namespace tollamer {
namespace {

using namespace value_type;

constexpr size_t kTimestampSize = 8;

template <typename T>
std::string Printed(const char* format, T v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// "%d" / "%I64d" of an integer, without the cost of a format string.
std::string Decimal(int64_t v) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, end);
}

}  // namespace

std::optional<std::string> FormatSharedType(uint8_t type_id, ByteView v, uint16_t length) {
  switch (type_id) {
    case kUniqueIdentifier:
      return UniqueIdentifierText(v);
    case kTinyInt:
      if (auto x = v.U8(0)) return Decimal(*x);
      return std::string();
    case kSmallInt:
      if (auto x = v.I16(0)) return Decimal(*x);
      return std::string();
    case kInt:
      if (auto x = v.I32(0)) return Decimal(*x);
      return std::string();
    case kBigInt:
      if (auto x = v.I64(0)) return Decimal(*x);
      return std::string();
    case kReal:
      if (auto x = v.U32(0)) {
        float f;
        std::memcpy(&f, &*x, sizeof f);
        return Printed("%f", static_cast<double>(f));
      }
      return std::string();
    case kFloat:
      if (auto x = v.U64(0)) {
        double d;
        std::memcpy(&d, &*x, sizeof d);
        return Printed("%f", d);
      }
      return std::string();
    case kMoney:
      if (auto x = v.I64(0)) return MoneyText(*x);
      return std::string();
    case kSmallMoney:
      if (auto x = v.I32(0)) return MoneyText(*x);
      return std::string();
    case kDateTime: {
      auto ticks = v.U32(0);
      auto days = v.I32(4);
      if (!ticks || !days) return std::string();
      return DateTimeText(TicksToDateTime(*ticks, *days));
    }
    case kSmallDateTime:
      if (auto x = v.U32(0)) return SmallDateTimeText(SmallDateTimeToDate(*x));
      return std::string();
    case kSqlVariant:
      return std::string("NULL");
    case kBinary:
      if (auto bytes = v.Slice(0, length)) return HexText(*bytes);
      return std::string();
    case kTimestamp:
      if (auto bytes = v.Slice(0, kTimestampSize)) return HexText(*bytes);
      return std::string();
    case kNChar:
      return NCharText(v, length);
    default:
      return std::nullopt;
  }
}

}  // namespace tollamer
