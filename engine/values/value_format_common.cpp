// Small text forms the value formatters share.
#include <array>
#include <cstdio>
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

void AppendHexDigits(std::string& out, ByteView bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out[at + 2 * i] = kDigits[bytes.data()[i] >> 4];
    out[at + 2 * i + 1] = kDigits[bytes.data()[i] & 0x0F];
  }
}

std::string HexText(ByteView bytes) {
  std::string text = "0x";
  AppendHexDigits(text, bytes);
  return text;
}

std::string UniqueIdentifierText(ByteView b) {
  if (!b.Contains(0, 16)) return {};
  char buf[48];
  const uint8_t* d = b.data();
  std::snprintf(buf, sizeof buf, "%.8X-%.4X-%.4X-%.2X%.2X-%.2X%.2X%.2X%.2X%.2X%.2X",
                b.LeOr<uint32_t>(0), b.LeOr<uint16_t>(4), b.LeOr<uint16_t>(6), d[8], d[9],
                d[10], d[11], d[12], d[13], d[14], d[15]);
  return buf;
}

}  // namespace tollamer
