#include "engine/values/number_text.h"

#include <charconv>

namespace tollamer {

void AppendMoneyText(std::string& out, int64_t units) {
  // Unsigned magnitude: the most negative value has no positive twin.
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : units;
  char buf[32];
  char* p = buf;
  if (negative) *p++ = '-';
  p = std::to_chars(p, buf + sizeof buf, magnitude / 10000).ptr;
  *p++ = '.';
  out.append(buf, PutFixedDigits(p, magnitude % 10000, 4));
}

std::string MoneyText(int64_t units) {
  std::string out;
  AppendMoneyText(out, units);
  return out;
}

}  // namespace tollamer
