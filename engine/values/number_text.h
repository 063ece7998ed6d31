// Decimal texts written digit by digit, for the values every row of an
// export holds: fixed-width parts of dates and times, and money with its
// four decimals.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tollamer {

// "00" to "99": numbers written two digits a step.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int n = 0; n < 100; ++n) {
    pairs[2 * n] = static_cast<char>('0' + n / 10);
    pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}();

// `value` as exactly `width` digits at `at` (the high ones dropped when
// wider); returns the end.
inline char* PutFixedDigits(char* at, uint64_t value, int width) {
  int d = width;
  for (; d >= 2; d -= 2, value /= 100) {
    const size_t pair = 2 * static_cast<size_t>(value % 100);
    at[d - 2] = kDigitPairs[pair];
    at[d - 1] = kDigitPairs[pair + 1];
  }
  if (d == 1) at[0] = static_cast<char>('0' + value % 10);
  return at + width;
}

// `value`'s decimal digits written backward, two a step, so that they end
// at `end`; returns where they start (at most 20 digits).
inline char* PutDigitsBefore(char* end, uint64_t value) {
  char* p = end;
  for (; value >= 100; value /= 100) {
    p -= 2;
    const size_t pair = 2 * static_cast<size_t>(value % 100);
    p[0] = kDigitPairs[pair];
    p[1] = kDigitPairs[pair + 1];
  }
  if (value >= 10) {
    p -= 2;
    p[0] = kDigitPairs[2 * value];
    p[1] = kDigitPairs[2 * value + 1];
  } else {
    *--p = static_cast<char>('0' + value);
  }
  return p;
}

// The text of each number below 1000 in the low three bytes of a 32-bit
// word (little-endian), its length in the high byte: the short numbers
// most columns hold written by one load and one store.
inline constexpr size_t kShortNumbers = 1000;
inline constexpr std::array<uint32_t, kShortNumbers> kShortNumberTexts = [] {
  std::array<uint32_t, kShortNumbers> texts{};
  for (uint32_t n = 0; n < kShortNumbers; ++n) {
    const uint32_t digits = n >= 100 ? 3 : n >= 10 ? 2 : 1;
    uint32_t word = digits << 24;
    for (uint32_t d = 0, rest = n; d < digits; ++d, rest /= 10)
      word |= ('0' + rest % 10) << (8 * (digits - 1 - d));
    texts[n] = word;
  }
  return texts;
}();

// `value` (below kShortNumbers) at `at`, with room for 4 bytes.
inline char* PutShortNumber(char* at, uint64_t value) {
  const uint32_t word = kShortNumberTexts[value];
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &word, sizeof word);
  } else {
    for (size_t i = 0; i < sizeof word; ++i) at[i] = static_cast<char>(word >> (8 * i));
  }
  return at + (word >> 24);
}

// `value` in decimal digits at `at` (room for 20 bytes): a short number
// from the table, a longer one's digits counted first, then written two a
// step from the end. Returns the end.
inline char* PutUnsignedText(char* at, uint64_t value) {
  if (value < kShortNumbers) return PutShortNumber(at, value);
  static constexpr std::array<uint64_t, 20> kPowers = [] {
    std::array<uint64_t, 20> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
  }();
  // About log10 from the bit width, then one comparison.
  const int guess = (std::bit_width(value) * 1233) >> 12;
  const int digits = guess + 1 - (value < kPowers[static_cast<size_t>(guess)] ? 1 : 0);
  char* const end = at + digits;
  PutDigitsBefore(end, value);
  return end;
}

// `value` as std::to_chars writes a double (the shortest text that reads
// back as the same value, fixed or with an exponent, whichever is shorter)
// at `at` (room for 32 bytes); returns the end. Values of a few decimals
// are written without its general search.
char* PutShortestDouble(char* at, double value);

// A count of 1/10000 units with four decimals, exactly: "-12.3400".
void AppendMoneyText(std::string& out, int64_t units);
// The same written at `at` (room for kMaxMoneyText bytes); returns the end.
inline constexpr size_t kMaxMoneyText = 21;  // "-922337203685477.5808"
inline char* PutMoneyText(char* at, int64_t units) {
  // Unsigned magnitude: the most negative value has no positive twin.
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : units;
  char* p = at;
  if (negative) *p++ = '-';
  const uint64_t whole = magnitude / 10000;
  const uint64_t part = magnitude - whole * 10000;
  p = PutUnsignedText(p, whole);
  *p++ = '.';
  const uint64_t high = part / 100;
  std::memcpy(p, &kDigitPairs[2 * high], 2);
  std::memcpy(p + 2, &kDigitPairs[2 * (part - 100 * high)], 2);
  return p + 4;
}
std::string MoneyText(int64_t units);

}  // namespace tollamer
