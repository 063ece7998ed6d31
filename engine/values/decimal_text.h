// decimal and numeric values: a sign byte (1 = positive, 0 = negative), then
// the magnitude as an unsigned little-endian integer of 4, 8, 12 or 16 bytes
// chosen by the precision (1-9, 10-19, 20-28, 29-38).
#pragma once

#include <cstdint>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// x to the n (square and multiply); a negative n gives the reciprocal.
double PowerOfTen(double x, int n);

// A decimal is stored as a sign byte and a little-endian magnitude of 4,
// 8, 12 or 16 bytes (precision 1-9, 10-19, 20-28, 29-38).
inline constexpr size_t kMaxDecimalStorage = 17;

// The stored size of a decimal of this precision, 0 when none is valid.
size_t DecimalStorageSize(uint8_t precision);

// The digits of `magnitude` with `scale` of them after the point and at
// least one before it ("0.0012"), appended to `out`.
void AppendScaledDigits(std::string& out, unsigned __int128 magnitude, uint8_t scale);
// The same written at `at` (room for kMaxScaledDigitsText bytes, a scale
// of at most 255); returns the end.
inline constexpr size_t kMaxScaledDigitsText = 258;
char* PutScaledDigits(char* at, unsigned __int128 magnitude, uint8_t scale);

}  // namespace tollamer
