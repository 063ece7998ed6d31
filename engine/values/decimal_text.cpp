#include "engine/values/decimal_text.h"

#include <cstring>

#include "engine/values/number_text.h"

namespace tollamer {

namespace {

// The decimal digits of `m` written backward so that they end at `end`;
// returns where they start (at most 39 digits).
char* PutDigitsBackward(char* end, unsigned __int128 m) {
  // Nine digits a division while the value is wider than 64 bits.
  constexpr uint64_t kNineDigits = 1'000'000'000;
  while (m > UINT64_MAX) {
    end -= 9;
    PutFixedDigits(end, static_cast<uint64_t>(m % kNineDigits), 9);
    m /= kNineDigits;
  }
  return PutDigitsBefore(end, static_cast<uint64_t>(m));
}

}  // namespace

char* PutScaledDigits(char* at, unsigned __int128 magnitude, uint8_t scale) {
  char buf[40];
  char* const end = buf + sizeof buf;
  const char* digits = PutDigitsBackward(end, magnitude);
  const size_t count = static_cast<size_t>(end - digits);
  if (scale == 0) {
    std::memcpy(at, digits, count);
    return at + count;
  }
  if (count <= scale) {
    *at++ = '0';
    *at++ = '.';
    std::memset(at, '0', scale - count);
    at += scale - count;
    std::memcpy(at, digits, count);
    return at + count;
  }
  std::memcpy(at, digits, count - scale);
  at += count - scale;
  *at++ = '.';
  std::memcpy(at, digits + (count - scale), scale);
  return at + scale;
}

void AppendScaledDigits(std::string& out, unsigned __int128 magnitude, uint8_t scale) {
  char buf[kMaxScaledDigitsText];
  out.append(buf, PutScaledDigits(buf, magnitude, scale));
}

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
  if (precision >= 29 && precision <= 38) return kMaxDecimalStorage;
  return 0;
}

}  // namespace tollamer
