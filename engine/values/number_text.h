// Decimal texts written digit by digit, for the values every row of an
// export holds: fixed-width parts of dates and times, and money with its
// four decimals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// A count of 1/10000 units with four decimals, exactly: "-12.3400".
void AppendMoneyText(std::string& out, int64_t units);
// The same written at `at` (room for kMaxMoneyText bytes); returns the end.
inline constexpr size_t kMaxMoneyText = 21;  // "-922337203685477.5808"
char* PutMoneyText(char* at, int64_t units);
std::string MoneyText(int64_t units);

}  // namespace tollamer
