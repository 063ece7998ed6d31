#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/rows/compressed_numbers.h"
#include "tests/fixtures/cd_record_builder.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::CompressedIntBytes;

std::optional<int64_t> Int(const Bytes& b) { return CompressedInteger(ByteView(b)); }
std::string Decimal(const Bytes& b) { return CompressedDecimalText(ByteView(b)); }

TEST(CompressedIntegerTest, SignFlagInTheTopBitOfTheFirstByte) {
  EXPECT_EQ(Int({0x80, 0x05}), 5);
  EXPECT_EQ(Int({0x7F}), -1);
  EXPECT_EQ(Int({0x00}), -128);
  EXPECT_EQ(Int({0x80}), 0);
  EXPECT_EQ(Int({0x7F, 0xFF}), -1);
  EXPECT_EQ(Int({0x81, 0x00}), 256);  // big-endian, not little
  EXPECT_EQ(Int({}), 0);
  EXPECT_EQ(Int(Bytes(9, 0x80)), std::nullopt);
  // Every width round-trips up to the 64-bit limits.
  const int64_t values[] = {0, 1, -1, 127, -128, 128, -129, 32767, -32768, 5000000000LL,
                            -5000000000LL, std::numeric_limits<int64_t>::max(),
                            std::numeric_limits<int64_t>::min()};
  for (int64_t v : values) EXPECT_EQ(Int(CompressedIntBytes(v)), v) << v;
  EXPECT_EQ(CompressedIntBytes(127).size(), 1u);
  EXPECT_EQ(CompressedIntBytes(128).size(), 2u);
}

// Byte 0: sign in bit 7 (set = 0 or more), exponent (& 0x7F) - 64 of the
// first digit; then 10-bit groups of three digits, most significant first.
TEST(CompressedDecimalTest, DigitGroupsSignAndExponent) {
  const struct {
    Bytes bytes;
    std::string expected;
  } cases[] = {
      // e = 1: group 123, then six zero bits filled up to a group.
      {{0xC1, 0x1E, 0xC0}, "12.3000"},
      {{0x41, 0x1E, 0xC0}, "-12.3000"},
      {{0xC5, 0x1E, 0xC0}, "123000"},  // e = 5: six digits, no point
      // 40 mantissa bits: four whole groups 001 002 003 004, then "000".
      {{0xCE, 0x00, 0x40, 0x20, 0x0C, 0x04}, "001002003004000"},
      {{0xCB, 0x00, 0x40, 0x20, 0x0C, 0x04}, "001002003004.000"},
      {{0xC0}, "0.00"},                   // no mantissa: a zero group
      {{0xBF, 0x1E, 0xC0}, "0.123000"},   // e = -1
      {{0xBE, 0x1E, 0xC0}, "0.0123000"},  // e = -2
      {{0x3E, 0x1E, 0xC0}, "-0.0123000"},
      // e = 6 but only "100" "000": the integer part is padded, not overrun.
      {{0xC6, 0x19, 0x00}, "1000000"},
      {{0xFF}, std::string(64, '0')},  // e = 63, no mantissa
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Decimal(c.bytes), c.expected) << c.expected;
}

}  // namespace
}  // namespace tollamer
