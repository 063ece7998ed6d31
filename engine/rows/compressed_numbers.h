// Number forms of compressed records.
//
// Compressed integer (smallint, int, bigint, money, smallmoney, datetime):
// the value's significant bytes, big-endian, with the top bit of the first
// byte inverted as the sign: set for a value of 0 or more (the value is the
// bytes with that bit cleared), clear for a negative value (the bytes as an
// unsigned number minus 2^(8n-1)). 0x80 0x05 is 5, 0x7F is -1.
//
// Decimal form (decimal, numeric): byte 0 holds the sign in bit 7 (set =
// 0 or more) and the decimal exponent (byte 0 & 0x7F) - 64 of the first
// digit; the bits of the following bytes, most significant first, form
// 10-bit groups of three decimal digits each. 0xC1 0x1E 0xC0 is 12.3000.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// The value of 0 to 8 stored bytes (0 bytes: 0); nothing for more.
std::optional<int64_t> CompressedInteger(ByteView bytes);

// The decimal form as text; empty text for no bytes at all.
std::string CompressedDecimalText(ByteView bytes);

// A fixed value widened back to its ordinary stored form (at most 8 bytes).
struct WidenedValue {
  std::array<uint8_t, 8> bytes{};
  size_t size = 0;
  ByteView View() const { return ByteView(bytes.data(), size); }
};

// The stored form of the types whose compressed form drops bytes: money
// and smallmoney (compressed integers of 1/10000 units), datetime (the
// packed integer: low 32 bits the ticks, high 32 bits the days),
// smalldatetime (2 bytes are the day count alone), real and float (the
// dropped zero bytes are the low-order ones). `value` is the assembled
// value, `buffer` the same bytes followed by zeros. Nothing for another
// type or a compressed integer of more than 8 bytes.
std::optional<WidenedValue> WidenCompressedFixed(uint8_t type_id, ByteView value,
                                                 ByteView buffer);

}  // namespace tollamer
