#include "engine/source/xpress_huffman.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

// The decoding loop is built twice on x86-64 with GCC or Clang: as is, and
// for processors with BMI2, whose shifts by a register take one step (the
// shift by each code's length is in the chain of lookups). Both run the
// same code; the second is chosen when the processor has BMI2.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOLLAMER_XPRESS_BMI2 1
#define TOLLAMER_XPRESS_INLINE inline __attribute__((always_inline))
#else
#define TOLLAMER_XPRESS_BMI2 0
#define TOLLAMER_XPRESS_INLINE inline
#endif

namespace tollamer {

namespace {

constexpr size_t kSymbolCount = 512;
constexpr size_t kTableBytes = kSymbolCount / 2;
constexpr unsigned kMaxCodeBits = 15;
constexpr size_t kLookupEntries = size_t{1} << kMaxCodeBits;
constexpr size_t kChunkOutput = 65536;
constexpr unsigned kLiteralSymbols = 256;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kLengthEscape = 15;       // length continues in a raw byte
constexpr unsigned kLengthWordEscape = 255;  // ... and in a raw 16-bit word
// A correct stream's reader runs at most two words past the last code it
// needs (it keeps 16 to 31 bits ahead); more means the input was cut.
constexpr size_t kAllowedOverrun = 4;

// Codes are looked up by their first 12 bits (one load for all but the
// rarest codes); a prefix that starts longer codes leads to a table of 8
// entries for the 3 bits after it. An entry holds all a step of the reader
// needs:
//
//   BITS    FIELD
//   0-5     bits the step takes: the code, and a match's distance bits
//           after it (at most 30; a shift by the entry takes them)
//   6-9     bits of the code alone
//   10      a literal
//   11      a match
//   12      a prefix that leads on to the table numbered in bits 16-31
//   16-23   the literal; a match's length - 3 (15: continued in raw bytes)
//   24-27   a match's distance bits
//
// Entry 0 marks a prefix no code starts. A match whose length continues in
// raw bytes takes only its code: the raw bytes lie before its distance bits.
constexpr unsigned kPrimaryBits = 12;
constexpr unsigned kSecondaryBits = kMaxCodeBits - kPrimaryBits;
constexpr uint32_t kTakeMask = 63;
constexpr unsigned kCodeShift = 6;
constexpr uint32_t kLiteral = 1u << 10;
constexpr uint32_t kMatch = 1u << 11;
constexpr uint32_t kSubTable = 1u << 12;
constexpr unsigned kValueShift = 16;
constexpr unsigned kDistanceShift = 24;
struct Lookup {
  std::array<uint32_t, size_t{1} << kPrimaryBits> primary;
  std::array<uint32_t, kLookupEntries> secondary;  // room for every prefix to lead on
};

// The entry of a symbol whose code has `bits` bits.
constexpr uint32_t SymbolEntry(unsigned symbol, unsigned bits) {
  const uint32_t code = bits | bits << kCodeShift;
  if (symbol < kLiteralSymbols) return code | kLiteral | symbol << kValueShift;
  const unsigned match = symbol - kLiteralSymbols;
  const unsigned length = match & 0x0F;
  const unsigned distance_bits = match >> 4;
  const unsigned take = length == kLengthEscape ? 0 : distance_bits;
  return (code + take) | kMatch | length << kValueShift | distance_bits << kDistanceShift;
}

bool BuildLookup(std::span<const uint8_t> lengths_packed, Lookup& lookup) {
  std::array<uint8_t, kSymbolCount> lengths{};
  std::array<size_t, kMaxCodeBits + 1> count{};
  for (size_t i = 0; i < kTableBytes; ++i) {
    lengths[2 * i] = lengths_packed[i] & 0x0F;
    lengths[2 * i + 1] = lengths_packed[i] >> 4;
    ++count[lengths[2 * i]];
    ++count[lengths[2 * i + 1]];
  }
  // Canonical codes: shorter codes first, equal lengths by symbol, each code
  // taking the next 2^(15 - length) of the 15-bit prefixes. next[bits] is
  // the first prefix of the codes of that length.
  std::array<size_t, kMaxCodeBits + 1> next{};
  size_t used = 0;
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
    next[bits] = used;
    used += count[bits] << (kMaxCodeBits - bits);
  }
  if (used == 0 || used > kLookupEntries) return false;  // no code, or over-subscribed
  // Codes of up to 12 bits fill the primary entries below the first longer
  // code; the entries from there on lead on or stay 0.
  std::fill(lookup.primary.begin() + (next[kPrimaryBits + 1] >> kSecondaryBits), lookup.primary.end(),
            uint32_t{0});
  uint32_t tables = 0;
  for (size_t symbol = 0; symbol < kSymbolCount; ++symbol) {
    const unsigned bits = lengths[symbol];
    if (bits == 0) continue;
    const size_t span = kLookupEntries >> bits;
    const size_t at = next[bits];
    next[bits] += span;
    const uint32_t entry = SymbolEntry(static_cast<unsigned>(symbol), bits);
    if (bits <= kPrimaryBits) {
      std::fill_n(lookup.primary.begin() + (at >> kSecondaryBits), span >> kSecondaryBits, entry);
      continue;
    }
    // Longer codes all come after the short ones, so their prefix's entry
    // is free or already leads on.
    uint32_t& lead = lookup.primary[at >> kSecondaryBits];
    if (lead == 0) {
      lead = kSubTable | tables << kValueShift;
      std::fill_n(lookup.secondary.begin() + (size_t{tables} << kSecondaryBits),
                  size_t{1} << kSecondaryBits, uint32_t{0});
      ++tables;
    }
    const size_t sub = size_t{lead >> kValueShift} << kSecondaryBits;
    std::fill_n(lookup.secondary.begin() + sub + (at & ((1u << kSecondaryBits) - 1)), span, entry);
  }
  return true;
}

// The entry for the code at the top of `bits` (at least 15 bits valid).
TOLLAMER_XPRESS_INLINE uint32_t LookUp(const Lookup& lookup, uint64_t bits) {
  const uint32_t entry = lookup.primary[bits >> (64 - kPrimaryBits)];
  if (!(entry & kSubTable)) [[likely]]
    return entry;
  return lookup.secondary[(size_t{entry >> kValueShift} << kSecondaryBits) |
                          ((bits >> (64 - kMaxCodeBits)) & ((1u << kSecondaryBits) - 1))];
}

TOLLAMER_XPRESS_INLINE uint64_t Le64(const uint8_t* p) {
  uint64_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, p, sizeof value);
  } else {
    for (int i = 7; i >= 0; --i) value = value << 8 | p[i];
  }
  return value;
}

// Four 16-bit little-endian words at `p` in reading order, the first at
// the top.
TOLLAMER_XPRESS_INLINE uint64_t WordsInReadingOrder(const uint8_t* p) {
  const uint64_t words = Le64(p);
  return std::rotl((words & 0x0000FFFF0000FFFFull) << 16 | ((words >> 16) & 0x0000FFFF0000FFFFull), 32);
}

// The chunk's 16-bit words, most significant bit first. The format's own
// reader holds 32 bits and fetches a word whenever fewer than 16 are left
// unread, and the raw bytes of a long length sit at the position that
// reader has reached. This one holds up to 64 bits, topped up several words
// at a time, and steps back to that reader's position (Rewind) before raw
// bytes and at the end of a chunk: of the `count` bits it holds, the
// format's reader would hold 16 to 31, the same count modulo 16. Words
// past the end of the input read as zero, as they do for that reader.
struct BitReader {
  uint64_t bits = 0;  // `count` bits at the top, then more of the stream or zeros
  unsigned count = 0;
  size_t pos = 0;     // the next input byte to load (may lie past the end)

  // At least 48 bits held afterwards, from at least 1 before. Where eight
  // input bytes remain, the words that fit are added without a branch; the
  // bits loaded below the last whole word are the stream's next ones, where
  // the next refill puts them again.
  TOLLAMER_XPRESS_INLINE void Refill(std::span<const uint8_t> in) {
    if (in.size() >= 8 && pos <= in.size() - 8) [[likely]] {
      bits |= WordsInReadingOrder(in.data() + pos) >> count;
      const unsigned width = (63 - count) & ~15u;  // whole words; count stays below 64
      count += width;
      pos += width / 8;
      return;
    }
    FillWordByWord(in);
  }

  // The first words of a chunk, and the last ones of the input.
  TOLLAMER_XPRESS_INLINE void FillWordByWord(std::span<const uint8_t> in) {
    while (count < 48) {
      uint64_t word = 0;
      if (pos < in.size()) word = in.size() - pos >= 2 ? (in[pos] | in[pos + 1] << 8) : in[pos];
      pos += 2;
      bits |= word << (48 - count);
      count += 16;
    }
  }

  TOLLAMER_XPRESS_INLINE void Skip(unsigned n) {
    bits <<= n;
    count -= n;
  }

  // Drops the words the format's reader would not have fetched yet (at
  // least 16 bits must be held), and the bits below them.
  TOLLAMER_XPRESS_INLINE void Rewind() {
    const unsigned keep = 16 + ((count - 16) & 15);
    pos -= (count - keep) / 8;
    bits &= ~(~uint64_t{0} >> keep);
    count = keep;
  }
};

// The raw length bytes after a length-15 match symbol.
TOLLAMER_XPRESS_INLINE XpressStatus ReadLongLength(std::span<const uint8_t> in, size_t& pos,
                                                   size_t& length) {
  if (pos >= in.size()) return XpressStatus::kTruncated;
  length = in[pos++];
  if (length == kLengthWordEscape) {
    if (pos >= in.size() || in.size() - pos < 2) return XpressStatus::kTruncated;
    length = static_cast<size_t>(in[pos] | in[pos + 1] << 8);
    pos += 2;
    // The word form holds the whole length - 3; below 15 it is no escape.
    if (length < kLengthEscape) return XpressStatus::kBadMatch;
    length -= kLengthEscape;
  }
  length += kLengthEscape;
  return XpressStatus::kOk;
}

// Copies `length` bytes from `distance` back (checked by the caller) to
// `to`; `room` bytes are writable from `to`. Where the room allows, 16 or 8
// bytes at a time (up to 31 past the end, which later output overwrites):
// a distance below eight repeats a pattern, so after its first eight bytes
// each word is copied from a whole number of periods back, at least eight.
TOLLAMER_XPRESS_INLINE void CopyMatch(uint8_t* to, size_t distance, size_t length, size_t room) {
  const uint8_t* from = to - distance;
  if (length + 32 > room) {
    if (distance == 1) {
      std::memset(to, *from, length);
    } else if (distance >= length) {
      std::memcpy(to, from, length);
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];
    }
    return;
  }
  if (distance >= 16) {
    // Most matches are done by the first two words.
    std::memcpy(to, from, 16);
    std::memcpy(to + 16, from + 16, 16);
    for (size_t i = 32; i < length; i += 16) std::memcpy(to + i, from + i, 16);
    return;
  }
  if (distance >= 8) {
    for (size_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
    return;
  }
  if (distance == 1) {
    std::memset(to, *from, length);
    return;
  }
  for (size_t i = 0; i < 8; ++i) to[i] = from[i];
  const size_t step = distance * ((8 + distance - 1) / distance);
  for (size_t i = 8; i < length; i += 8) std::memcpy(to + i, to + i - step, 8);
}

// The length and distance of the match `entry` begins (at least 45 bits
// held), taking its code, raw length bytes and distance bits.
TOLLAMER_XPRESS_INLINE XpressStatus ReadMatch(uint32_t entry, std::span<const uint8_t> in, BitReader& reader,
                              size_t& length, size_t& distance) {
  length = entry >> kValueShift & 0x0F;
  const unsigned distance_bits = entry >> kDistanceShift;
  // Up to 15 distance bits follow the code, taken with it when no raw bytes
  // come between. ((x >> 1) >> (63 - n) is x's top n bits, none for 0.)
  if (length != kLengthEscape) [[likely]] {
    const uint64_t after_code = reader.bits << (entry >> kCodeShift & kMaxCodeBits);
    reader.Skip(entry & kTakeMask);
    distance = (size_t{1} << distance_bits) | static_cast<size_t>((after_code >> 1) >> (63 - distance_bits));
  } else {
    reader.Skip(entry & kTakeMask);
    reader.Rewind();
    if (XpressStatus status = ReadLongLength(in, reader.pos, length); status != XpressStatus::kOk)
      return status;
    // At least 16 bits are held after the rewind.
    distance = (size_t{1} << distance_bits) | static_cast<size_t>((reader.bits >> 1) >> (63 - distance_bits));
    reader.Skip(distance_bits);
    reader.Refill(in);
  }
  length += kMinMatch;
  return XpressStatus::kOk;
}

// One table per thread, rebuilt for every chunk.
Lookup& ThreadTable() {
  thread_local std::unique_ptr<Lookup> table;
  if (!table) table = std::make_unique_for_overwrite<Lookup>();
  return *table;
}

TOLLAMER_XPRESS_INLINE XpressStatus Decode(std::span<const uint8_t> in, std::span<uint8_t> out,
                                           size_t* consumed) {
  Lookup& table = ThreadTable();
  const Lookup& lookup = table;
  size_t in_pos = 0;
  size_t out_pos = 0;
  uint8_t* const dst = out.data();
  const size_t out_size = out.size();
  while (out_pos < out_size) {
    if (in_pos > in.size() || in.size() - in_pos < kTableBytes) return XpressStatus::kTruncated;
    if (!BuildLookup(in.subspan(in_pos, kTableBytes), table)) return XpressStatus::kBadTable;
    BitReader reader;
    reader.pos = in_pos + kTableBytes;
    reader.FillWordByWord(in);
    const size_t chunk_end = std::min(out_size, out_pos + kChunkOutput);
    // Each entry is looked up before the words after it are loaded (at
    // least 15 bits are held then), so that the loads are not in the chain
    // of lookups. A refill leaves at least 48 bits: enough for two literals
    // of at most 15 and the lookup after each, or for a match's code and
    // distance bits (at most 30) and the lookup after them.
    uint32_t entry = LookUp(lookup, reader.bits);
    size_t length = 0;
    size_t distance = 0;
    while (out_pos < chunk_end) {
      if (entry & kLiteral) [[likely]] {
        dst[out_pos++] = static_cast<uint8_t>(entry >> kValueShift);
        reader.Skip(entry & kTakeMask);
        entry = LookUp(lookup, reader.bits);
        if ((entry & kLiteral) && out_pos < chunk_end) {
          dst[out_pos++] = static_cast<uint8_t>(entry >> kValueShift);
          reader.Skip(entry & kTakeMask);
          entry = LookUp(lookup, reader.bits);
        }
        reader.Refill(in);
        continue;
      }
      if (!(entry & kMatch)) return XpressStatus::kBadCode;
      if (XpressStatus status = ReadMatch(entry, in, reader, length, distance); status != XpressStatus::kOk)
        return status;
      entry = LookUp(lookup, reader.bits);
      reader.Refill(in);
      if (distance > out_pos || length > out_size - out_pos) return XpressStatus::kBadMatch;
      CopyMatch(dst + out_pos, distance, length, out_size - out_pos);
      out_pos += length;
    }
    // Every step ended with a refill: more than 16 bits are held.
    reader.Rewind();
    in_pos = reader.pos;
    if (in_pos > in.size() && in_pos - in.size() > kAllowedOverrun) return XpressStatus::kTruncated;
  }
  if (consumed) *consumed = in_pos;
  return XpressStatus::kOk;
}

XpressStatus DecodePortable(std::span<const uint8_t> in, std::span<uint8_t> out, size_t* consumed) {
  return Decode(in, out, consumed);
}

#if TOLLAMER_XPRESS_BMI2
__attribute__((target("bmi2"))) XpressStatus DecodeBmi2(std::span<const uint8_t> in,
                                                        std::span<uint8_t> out, size_t* consumed) {
  return Decode(in, out, consumed);
}
#endif

}  // namespace

XpressStatus DecodeXpressHuffman(std::span<const uint8_t> in, std::span<uint8_t> out,
                                 size_t* consumed) {
#if TOLLAMER_XPRESS_BMI2
  static const bool bmi2 = __builtin_cpu_supports("bmi2");
  if (bmi2) return DecodeBmi2(in, out, consumed);
#endif
  return DecodePortable(in, out, consumed);
}

const char* XpressStatusText(XpressStatus status) {
  switch (status) {
    case XpressStatus::kOk: return "decoded";
    case XpressStatus::kBadTable: return "its Huffman table is not valid";
    case XpressStatus::kBadCode: return "it holds a code its table does not define";
    case XpressStatus::kBadMatch: return "a match reaches outside the block";
    case XpressStatus::kTruncated: return "its data ends before the block does";
  }
  return "unknown";
}

}  // namespace tollamer
