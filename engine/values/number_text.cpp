#include "engine/values/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>


namespace tollamer {

namespace {

// The fixed text of `value` when it is the shortest text std::to_chars
// would write: the fewest decimals k for which the nearest integer m to
// |value| * 10^k reads back as |value| (m / 10^k, both exact, is rounded
// once as reading "m" with k decimals is); null when there is none below
// 2^50, or when the text with an exponent would be shorter.
char* PutFewDecimals(char* at, double value) {
  static constexpr std::array<double, 18> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                                                     1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-3 && magnitude < 1e15)) return nullptr;  // NaN too
  // Below 2^50 a scaled value is within 1/16 of its nearest integer's true
  // distance, and an integer half a unit away never reads back.
  constexpr double kLimit = 0x1p50;
  for (size_t k = 0; k < kPowers.size(); ++k) {
    const double scaled = magnitude * kPowers[k];
    if (scaled >= kLimit) return nullptr;
    const double nearest = std::nearbyint(scaled);
    if (nearest / kPowers[k] != magnitude) continue;
    const uint64_t m = static_cast<uint64_t>(nearest);
    char digits[20];
    const size_t count = static_cast<size_t>(PutUnsignedText(digits, m) - digits);
    // Significant digits: without the trailing zeros of an integer (a
    // value with decimals ends in a non-zero digit, k being the fewest).
    size_t significant = count;
    while (significant > 1 && digits[significant - 1] == '0') --significant;
    const int exponent = static_cast<int>(count) - 1 - static_cast<int>(k);
    const size_t whole = count > k ? count - k : 1;  // "0" before the point
    const size_t fixed = whole + (k ? 1 + k : 0);
    const size_t scientific = significant + (significant > 1 ? 1 : 0) + 2 +
                              (exponent >= 100 || exponent <= -100 ? 3 : 2);
    if (fixed > scientific) return nullptr;
    char* p = at;
    if (value < 0) *p++ = '-';
    if (count > k) {
      std::memcpy(p, digits, count - k);
      p += count - k;
    } else {
      *p++ = '0';
    }
    if (k == 0) return p;
    *p++ = '.';
    for (size_t z = count; z < k; ++z) *p++ = '0';  // zeros after the point
    const size_t from = count > k ? count - k : 0;
    std::memcpy(p, digits + from, count - from);
    return p + (count - from);
  }
  return nullptr;
}

}  // namespace

char* PutShortestDouble(char* at, double value) {
  if (char* end = PutFewDecimals(at, value)) return end;
  return std::to_chars(at, at + 32, value).ptr;
}

void AppendMoneyText(std::string& out, int64_t units) {
  char buf[kMaxMoneyText];
  out.append(buf, PutMoneyText(buf, units));
}

std::string MoneyText(int64_t units) {
  std::string out;
  AppendMoneyText(out, units);
  return out;
}

}  // namespace tollamer
