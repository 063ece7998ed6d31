#include "engine/values/decimal_text.h"

namespace tollamer {

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
