// The LZ77+Huffman variant of the Xpress compression family (Microsoft's
// published MS-XCA description), as SQL Server uses it for backups written
// WITH COMPRESSION.
//
// A stream is a run of chunks, each producing up to 65536 bytes:
//
//   OFFSET  SIZE  FIELD
//   0       256   code lengths of the 512 symbols, 4 bits each: symbol 2i
//                 in the low half of byte i, symbol 2i + 1 in the high half
//                 (0: the symbol does not occur)
//   256     ...   16-bit little-endian words, read most significant bit
//                 first, holding canonical Huffman codes of at most 15 bits;
//                 raw bytes of long match lengths sit between the words at
//                 the position the reader has reached
//
// Symbols below 256 are literal bytes. A symbol s >= 256 is a match:
// (s - 256) & 15 is its length - 3 (15: the length continues in a raw byte,
// and a raw 255 byte in a raw 16-bit word), (s - 256) >> 4 the number of
// bits of its distance below the leading 1 bit, which follow the code.
// A chunk's input ends where its output reaches 65536 bytes (or the
// requested size); the next chunk's table begins at the reader's position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tollamer {

enum class XpressStatus {
  kOk,
  kBadTable,      // code lengths over-subscribed, or no symbol at all
  kBadCode,       // a bit pattern the table gives no symbol
  kBadMatch,      // a match reaching before the output's start or past its end
  kTruncated,     // the input ended before the output was complete
};

// Decodes `in` into exactly out.size() bytes. Every table and back-reference
// is checked: bad input returns a status and never reads or writes outside
// the two spans. On failure `out` holds whatever was decoded before it.
// `consumed`, when given, receives how many input bytes the reader reached
// (including the words it reads ahead).
XpressStatus DecodeXpressHuffman(std::span<const uint8_t> in, std::span<uint8_t> out,
                                 size_t* consumed = nullptr);

const char* XpressStatusText(XpressStatus status);

}  // namespace tollamer
