// Decimal texts written digit by digit, for the values every row of an
// export holds: fixed-width parts of dates and times, and money with its
// four decimals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tollamer {

// `value` as exactly `width` digits at `at` (the high ones dropped when
// wider); returns the end.
inline char* PutFixedDigits(char* at, uint64_t value, int width) {
  for (int d = width - 1; d >= 0; --d, value /= 10) at[d] = static_cast<char>('0' + value % 10);
  return at + width;
}

// A count of 1/10000 units with four decimals, exactly: "-12.3400".
void AppendMoneyText(std::string& out, int64_t units);
// The same written at `at` (room for kMaxMoneyText bytes); returns the end.
inline constexpr size_t kMaxMoneyText = 21;  // "-922337203685477.5808"
char* PutMoneyText(char* at, int64_t units);
std::string MoneyText(int64_t units);

}  // namespace tollamer
