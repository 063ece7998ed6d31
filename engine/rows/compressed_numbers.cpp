#include "engine/rows/compressed_numbers.h"

#include <cstdio>
#include <limits>

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

std::string CompressedIntegerText(ByteView bytes) {
  const auto value = CompressedInteger(bytes);
  if (!value) return {};
  return std::to_string(*value);
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
