#include "engine/values/number_text.h"

#include <charconv>

namespace tollamer {

char* PutMoneyText(char* at, int64_t units) {
  // Unsigned magnitude: the most negative value has no positive twin.
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : units;
  char* p = at;
  if (negative) *p++ = '-';
  p = std::to_chars(p, at + kMaxMoneyText, magnitude / 10000).ptr;
  *p++ = '.';
  return PutFixedDigits(p, magnitude % 10000, 4);
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
