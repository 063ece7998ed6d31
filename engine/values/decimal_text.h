// decimal and numeric values: a sign byte (1 = positive, 0 = negative), then
// the magnitude as an unsigned little-endian integer of 4, 8, 12 or 16 bytes
// chosen by the precision:
//
//   PRECISION  BYTES  TEXT
//   1-9        5      magnitude / 10^scale with `scale` decimals
//   10-19      9      the same with a 64-bit magnitude
//   20-28      13     "0x", precision, scale, "00", then the 13 stored bytes
//   29-38      17     the same with the 17 stored bytes
#pragma once

#include <cstdint>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// x to the n (square and multiply); a negative n gives the reciprocal.
double PowerOfTen(double x, int n);

// The stored size of a decimal of this precision, 0 when none is valid.
size_t DecimalStorageSize(uint8_t precision);

// SQL 2000 files: any sign byte other than 0 or 1, and any magnitude with
// more integer digits than the column allows, gives "0".
std::string DecimalText2000(ByteView bytes, uint8_t precision, uint8_t scale);
// SQL 2005/2008 files: any non-zero sign byte means positive; no
// plausibility test.
std::string DecimalText2005(ByteView bytes, uint8_t precision, uint8_t scale);

}  // namespace tollamer
