#include "engine/values/decimal_text.h"

#include <algorithm>
#include <cstdio>

namespace tollamer {
namespace {

// Largest number of decimals a decimal column can have.
constexpr uint8_t kMaxScale = 38;

struct DecimalValue {
  bool negative = false;
  uint64_t magnitude = 0;
};

// The magnitude's digits with `scale` of them after the point, exactly
// (what "%.*f" of magnitude / 10^scale prints, without rounding error).
std::string MagnitudeText(uint64_t magnitude, uint8_t scale) {
  std::string digits = std::to_string(magnitude);
  if (scale == 0) return digits;
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  digits.insert(digits.size() - scale, 1, '.');
  return digits;
}

std::string WideDecimalText(ByteView bytes, uint8_t precision, uint8_t scale, size_t size) {
  std::optional<ByteView> stored = bytes.Slice(0, size);
  if (!stored) return {};
  char buf[8];
  std::string text = "0x";
  std::snprintf(buf, sizeof buf, "%2.2X%2.2X00", precision, scale);
  text += buf;
  for (uint8_t b : stored->span()) {
    std::snprintf(buf, sizeof buf, "%2.2X", b);
    text += buf;
  }
  return text;
}

std::optional<uint64_t> Magnitude(ByteView bytes, size_t size) {
  if (size == 5) {
    std::optional<uint32_t> m = bytes.U32(1);
    if (!m) return std::nullopt;
    return uint64_t{*m};
  }
  return bytes.U64(1);
}

}  // namespace

double PowerOfTen(double x, int n) {
  const bool reciprocal = n < 0;
  uint64_t e = reciprocal ? -static_cast<int64_t>(n) : n;
  double result = 1.0;
  while (e != 0) {
    if (e & 1) result *= x;
    x *= x;
    e >>= 1;
  }
  return reciprocal ? 1.0 / result : result;
}

size_t DecimalStorageSize(uint8_t precision) {
  if (precision >= 1 && precision <= 9) return 5;
  if (precision >= 10 && precision <= 19) return 9;
  if (precision >= 20 && precision <= 28) return 13;
  if (precision >= 29 && precision <= 38) return 17;
  return 0;
}

std::string DecimalText2000(ByteView bytes, uint8_t precision, uint8_t scale) {
  const size_t size = DecimalStorageSize(precision);
  if (size > 9) return WideDecimalText(bytes, precision, scale, size);
  if (size == 0 || scale > std::min(precision, kMaxScale)) return "0";
  std::optional<uint8_t> sign = bytes.U8(0);
  std::optional<uint64_t> magnitude = Magnitude(bytes, size);
  if (!sign || !magnitude || *sign > 1) return "0";
  // A magnitude with more integer digits than precision - scale (at least
  // the one "0" before the point) is garbage, not a value.
  const std::string digits = MagnitudeText(*magnitude, scale);
  const size_t integer_digits = scale == 0 ? digits.size() : digits.size() - scale - 1;
  if (integer_digits > std::max<size_t>(precision - scale, 1)) return "0";
  return (*sign == 0 ? "-" : "") + digits;
}

std::string DecimalText2005(ByteView bytes, uint8_t precision, uint8_t scale) {
  const size_t size = DecimalStorageSize(precision);
  if (size > 9) return WideDecimalText(bytes, precision, scale, size);
  if (size == 0) return {};
  std::optional<uint8_t> sign = bytes.U8(0);
  std::optional<uint64_t> magnitude = Magnitude(bytes, size);
  if (!sign || !magnitude) return {};
  return (*sign == 0 ? "-" : "") + MagnitudeText(*magnitude, std::min(scale, kMaxScale));
}

}  // namespace tollamer
