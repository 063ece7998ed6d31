#include "engine/values/number_text.h"


namespace tollamer {

char* PutMoneyText(char* at, int64_t units) {
  // Unsigned magnitude: the most negative value has no positive twin.
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : units;
  char* p = at;
  if (negative) *p++ = '-';
  const uint64_t whole = magnitude / 10000;
  const uint64_t part = magnitude - whole * 10000;
  p = PutUnsignedText(p, whole);
  *p++ = '.';
  const size_t high = 2 * static_cast<size_t>(part / 100), low = 2 * static_cast<size_t>(part % 100);
  p[0] = kDigitPairs[high];
  p[1] = kDigitPairs[high + 1];
  p[2] = kDigitPairs[low];
  p[3] = kDigitPairs[low + 1];
  return p + 4;
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
