// Small text forms the value formatters share.
#include <array>
#include <cstring>
#include <string>

#include "engine/values/value_format.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tollamer {
std::string ByteToBitString(uint8_t byte) {
  static constexpr std::array<const char*, 16> kNibbles = {
      "0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111",
      "1000", "1001", "1010", "1011", "1100", "1101", "1110", "1111"};
  std::string bits = std::string(kNibbles[byte >> 4]) + kNibbles[byte & 0x0F];
  return std::string(bits.rbegin(), bits.rend());
}

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

char* PutHexByte(char* at, uint8_t byte) {
  at[0] = kHexDigits[byte >> 4];
  at[1] = kHexDigits[byte & 0x0F];
  return at + 2;
}

// Sixteen bytes as 32 upper-case hex digits at `at`: each byte's high and
// low halves side by side, '0' + n, and 7 more past 9.
void PutHex16(char* at, const uint8_t* in) {
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i low_nibbles = _mm_set1_epi8(0x0F);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), low_nibbles);
  const __m128i low = _mm_and_si128(v, low_nibbles);
  const auto digits = [](__m128i n) {
    const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(n, _mm_set1_epi8(9)), _mm_set1_epi8(7));
    return _mm_add_epi8(_mm_add_epi8(n, _mm_set1_epi8('0')), letters);
  };
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at), digits(_mm_unpacklo_epi8(high, low)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 16), digits(_mm_unpackhi_epi8(high, low)));
#else
  for (size_t i = 0; i < 16; ++i) PutHexByte(at + 2 * i, in[i]);
#endif
}

}  // namespace

char* PutHexDigits(char* at, ByteView bytes) {
  size_t i = 0;
  for (; i + 16 <= bytes.size(); i += 16, at += 32) PutHex16(at, bytes.data() + i);
  for (; i < bytes.size(); ++i) at = PutHexByte(at, bytes.data()[i]);
  return at;
}

void AppendHexDigits(std::string& out, ByteView bytes) {
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  PutHexDigits(out.data() + at, bytes);
}

std::string HexText(ByteView bytes) {
  std::string text = "0x";
  AppendHexDigits(text, bytes);
  return text;
}

char* PutUniqueIdentifierText(char* at, const uint8_t* b) {
  // The stored byte shown at each place: a 4-byte, two 2-byte groups
  // little-endian, then eight bytes as stored; the dashes after the 4th,
  // 6th, 8th and 10th byte.
  static constexpr std::array<uint8_t, kUniqueIdentifierBytes> kShownOrder = {3, 2, 1, 0, 5, 4, 7, 6,
                                                          8, 9, 10, 11, 12, 13, 14, 15};
  uint8_t shown[kUniqueIdentifierBytes];
  for (size_t i = 0; i < kShownOrder.size(); ++i) shown[i] = b[kShownOrder[i]];
  char hex[2 * kUniqueIdentifierBytes];
  PutHex16(hex, shown);
  std::memcpy(at, hex, 8);
  at[8] = '-';
  std::memcpy(at + 9, hex + 8, 4);
  at[13] = '-';
  std::memcpy(at + 14, hex + 12, 4);
  at[18] = '-';
  std::memcpy(at + 19, hex + 16, 4);
  at[23] = '-';
  std::memcpy(at + 24, hex + 20, 12);
  return at + kUniqueIdentifierText;
}

std::string UniqueIdentifierText(ByteView b) {
  if (!b.Contains(0, kUniqueIdentifierBytes)) return {};
  char buf[kUniqueIdentifierText];
  return std::string(buf, PutUniqueIdentifierText(buf, b.data()));
}

}  // namespace tollamer
