#include "engine/rows/compressed_numbers.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "engine/values/value_format.h"

namespace tollamer {
namespace {

constexpr size_t kMaxIntegerBytes = 8;
constexpr int kExponentBias = 64;
constexpr int kGroupBits = 10;

void AppendGroup(std::string& digits, uint32_t group) {
  char piece[8];
  std::snprintf(piece, sizeof piece, "%03u", group);
  digits += piece;
}

WidenedValue LittleEndian(uint64_t value, size_t size) {
  WidenedValue out;
  out.size = size;
  for (size_t i = 0; i < size; ++i) out.bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return out;
}

// Stored bytes that are the high-order end of a `size`-byte value whose
// zero low-order bytes were dropped.
WidenedValue RightAligned(ByteView stored, size_t size) {
  WidenedValue out;
  out.size = size;
  const size_t take = std::min(stored.size(), size);
  for (size_t i = 0; i < take; ++i) out.bytes[size - take + i] = stored.data()[i];
  return out;
}

constexpr size_t kFourBytes = 4;
constexpr size_t kEightBytes = 8;

}  // namespace

std::optional<int64_t> CompressedInteger(ByteView bytes) {
  const size_t n = bytes.size();
  if (n == 0) return 0;
  if (n > kMaxIntegerBytes) return std::nullopt;
  uint64_t raw = 0;
  for (uint8_t b : bytes.span()) raw = (raw << 8) | b;
  const uint64_t sign_bit = uint64_t{1} << (8 * n - 1);
  if ((raw & sign_bit) != 0) return static_cast<int64_t>(raw & ~sign_bit);
  // raw < 2^(8n-1): the difference fits, down to -2^63 for eight bytes.
  if (n == kMaxIntegerBytes) return static_cast<int64_t>(raw) + std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(raw) - static_cast<int64_t>(sign_bit);
}

std::string CompressedDecimalText(ByteView bytes) {
  const auto head = bytes.U8(0);
  if (!head) return {};
  const bool negative = (*head & 0x80) == 0;
  const int exponent = (*head & 0x7F) - kExponentBias;

  std::string digits;
  uint32_t group = 0;
  int bits = 0;
  for (uint8_t b : bytes.From(1).span()) {
    for (int i = 7; i >= 0; --i) {
      group = (group << 1) | ((b >> i) & 1u);
      if (++bits == kGroupBits) {
        AppendGroup(digits, group);
        group = 0;
        bits = 0;
      }
    }
  }
  // An incomplete last group is filled up to 10 bits; a boundary (or no
  // mantissa at all) still adds one group of zeros.
  AppendGroup(digits, group << (kGroupBits - bits));

  if (exponent >= 0) {
    const size_t integer_digits = static_cast<size_t>(exponent) + 1;
    if (digits.size() < integer_digits) {
      // The digits stop before the decimal point: the rest are zeros.
      digits.append(integer_digits - digits.size(), '0');
    } else if (digits.size() != integer_digits) {
      digits.insert(integer_digits, 1, '.');
    }
  } else {
    digits.insert(0, static_cast<size_t>(-exponent - 1), '0');
    digits.insert(0, "0.");
  }
  if (negative) digits.insert(0, 1, '-');
  return digits;
}

}  // namespace tollamer

namespace tollamer {

std::optional<WidenedValue> WidenCompressedFixed(uint8_t type_id, ByteView value,
                                                 ByteView buffer) {
  using namespace value_type;
  switch (type_id) {
    case kMoney:
    case kSmallMoney:
    case kDateTime: {
      const auto packed = CompressedInteger(value);
      if (!packed) return std::nullopt;
      return LittleEndian(static_cast<uint64_t>(*packed),
                          type_id == kSmallMoney ? kFourBytes : kEightBytes);
    }
    case kSmallDateTime: {
      uint32_t packed = buffer.LeOr<uint32_t>(0);
      if (value.size() == 2) packed <<= 16;  // the bytes are the day count alone
      return LittleEndian(packed, kFourBytes);
    }
    case kReal: return RightAligned(value, kFourBytes);
    case kFloat: return RightAligned(value, kEightBytes);
    default: return std::nullopt;
  }
}

}  // namespace tollamer
