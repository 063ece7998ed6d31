// Small text forms the value formatters share.
#include <array>
#include <string>

#include "engine/values/value_format.h"

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

}  // namespace

char* PutHexDigits(char* at, ByteView bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) at = PutHexByte(at, bytes.data()[i]);
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
  // little-endian, then eight bytes as stored.
  static constexpr std::array<uint8_t, kUniqueIdentifierBytes> kShownOrder = {3, 2, 1, 0, 5, 4, 7, 6,
                                                          8, 9, 10, 11, 12, 13, 14, 15};
  char* p = at;
  for (size_t i = 0; i < kShownOrder.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) *p++ = '-';
    p = PutHexByte(p, b[kShownOrder[i]]);
  }
  return p;
}

std::string UniqueIdentifierText(ByteView b) {
  if (!b.Contains(0, kUniqueIdentifierBytes)) return {};
  char buf[kUniqueIdentifierText];
  return std::string(buf, PutUniqueIdentifierText(buf, b.data()));
}

}  // namespace tollamer
