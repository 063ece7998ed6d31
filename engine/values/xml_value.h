// xml column values of SQL 2005/2008 files: the binary XML token format
// (MS-BINXML), turned back into XML text. Only this subset of tokens is
// understood; decoding stops at any other and keeps the text made so far.
//
//   BYTE  TOKEN                   OPERANDS
//   0x11  text                    text run
//   0xEA  extension               mb32 n, n bytes (skipped)
//   0xEF  qname definition        mb32 namespace, prefix, local-name index
//   0xF0  name definition         text run
//   0xF3  comment                 text run
//   0xF4  processing instruction  mb32 target name index, text run
//   0xF5  end of attributes       -
//   0xF6  attribute               mb32 qname index, typed value
//   0xF7  end of element          -
//   0xF8  element                 mb32 qname index
//
// The value's first 5 bytes (signature, version, encoding) are skipped.
// mb32: 1 to 4 bytes, low 7-bit group first, bit 7 set when another byte
// follows; a fourth byte gives all 8 bits. Text run: mb32 count of UTF-16
// code units, then the units.
//
// Attribute value: a type byte, then for 0x11 a text run; for 0x87 a
// numeric value of L bytes (L itself, scale, sign, L - 3 magnitude bytes,
// L = 7, 11, 15 or 19); for any other type an mb32 n and n bytes (empty
// text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

struct Mb32 {
  uint32_t value = 0;
  size_t used = 0;  // bytes the number took
};
// The mb32 number at the start of `bytes`; nothing when it is cut short.
std::optional<Mb32> ReadMb32(ByteView bytes);

// The escaped text of a typed attribute value starting at its type byte,
// and the bytes it took (type byte included); nothing when cut short.
struct XmlAttributeValue {
  std::string text;
  size_t used = 0;
};
std::optional<XmlAttributeValue> FormatXmlAttributeValue(ByteView bytes);

// Appends the XML text of one binary XML value to `text`.
void DecodeXmlValue(ByteView bytes, std::string& text);

}  // namespace tollamer
