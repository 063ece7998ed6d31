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
// The fast loop runs while more than this many bytes of the chunk remain:
// room for three literals, and for a match of up to 32 bytes copied as two
// 16-byte words with CopyMatch's 32 bytes of slack after it.
constexpr size_t kFastRoom = 64;

// Codes are looked up by their first 12 bits (one load for all but the
// rarest codes); a prefix that starts longer codes leads to a table of 8
// entries for the 3 bits after it. An entry holds all a step of the reader
// needs:
//
//   BITS    FIELD
//   0-5     bits the step takes: the code, and a match's distance bits
//           after it (at most 30; a shift by the entry takes them)
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
  if (symbol < kLiteralSymbols) return bits | kLiteral | symbol << kValueShift;
  const unsigned match = symbol - kLiteralSymbols;
  const unsigned length = match & 0x0F;
  const unsigned distance_bits = match >> 4;
  const unsigned take = length == kLengthEscape ? 0 : distance_bits;
  return (bits + take) | kMatch | length << kValueShift | distance_bits << kDistanceShift;
}

// `count` copies of `entry` from `to`, `count` a power of two.
TOLLAMER_XPRESS_INLINE void FillEntries(uint32_t* to, size_t count, uint32_t entry) {
  if (count >= 4) {
    const uint32_t four[4] = {entry, entry, entry, entry};
    for (size_t i = 0; i < count; i += 4) std::memcpy(to + i, four, sizeof four);
  } else {
    for (size_t i = 0; i < count; ++i) to[i] = entry;
  }
}

bool BuildLookup(std::span<const uint8_t> lengths_packed, Lookup& lookup) {
  // The code lengths counted per quarter of the symbols, the four quarters
  // side by side (a run of equal lengths then waits on one count in four).
  constexpr size_t kQuarterBytes = kTableBytes / 4;
  std::array<std::array<uint16_t, kMaxCodeBits + 1>, 4> tally{};
  for (size_t i = 0; i < kQuarterBytes; ++i) {
    for (size_t q = 0; q < 4; ++q) {
      const uint8_t two = lengths_packed[q * kQuarterBytes + i];
      ++tally[q][two & 0x0F];
      ++tally[q][two >> 4];
    }
  }
  std::array<size_t, kMaxCodeBits + 1> count{};
  for (size_t q = 0; q < 4; ++q)
    for (unsigned bits = 0; bits <= kMaxCodeBits; ++bits) count[bits] += tally[q][bits];
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
  // The symbols in code order (by length, then by symbol; the unused ones
  // last): each quarter's symbols of a length go after those of the
  // quarters before it.
  std::array<std::array<uint16_t, kMaxCodeBits + 1>, 4> slot;
  size_t placed = 0;
  for (unsigned bits = 1; bits <= kMaxCodeBits + 1; ++bits) {
    const unsigned b = bits & kMaxCodeBits;  // length 0 after the longest
    for (size_t q = 0; q < 4; ++q) {
      slot[q][b] = static_cast<uint16_t>(placed);
      placed += tally[q][b];
    }
  }
  std::array<uint16_t, kSymbolCount> order;
  for (size_t i = 0; i < kQuarterBytes; ++i) {
    for (size_t q = 0; q < 4; ++q) {
      const uint8_t two = lengths_packed[q * kQuarterBytes + i];
      const uint16_t symbol = static_cast<uint16_t>(2 * (q * kQuarterBytes + i));
      order[slot[q][two & 0x0F]++] = symbol;
      order[slot[q][two >> 4]++] = symbol + 1;
    }
  }
  // Codes of up to kPrimaryBits bits fill the primary entries in code
  // order; the entries from the first longer code on lead on or stay 0.
  const uint16_t* symbol = order.data();
  uint32_t* to = lookup.primary.data();
  for (unsigned bits = 1; bits <= kPrimaryBits; ++bits) {
    const size_t span = size_t{1} << (kPrimaryBits - bits);
    for (const uint16_t* end = symbol + count[bits]; symbol < end; ++symbol, to += span)
      FillEntries(to, span, SymbolEntry(*symbol, bits));
  }
  std::fill(to, lookup.primary.data() + lookup.primary.size(), uint32_t{0});
  uint32_t tables = 0;
  for (unsigned bits = kPrimaryBits + 1; bits <= kMaxCodeBits; ++bits) {
    const size_t span = kLookupEntries >> bits;
    for (const uint16_t* end = symbol + count[bits]; symbol < end; ++symbol) {
      const size_t at = next[bits];
      next[bits] += span;
      // Longer codes all come after the short ones, so their prefix's
      // entry is free or already leads on.
      uint32_t& lead = lookup.primary[at >> kSecondaryBits];
      if (lead == 0) {
        lead = kSubTable | tables << kValueShift;
        std::fill_n(lookup.secondary.begin() + (size_t{tables} << kSecondaryBits),
                    size_t{1} << kSecondaryBits, uint32_t{0});
        ++tables;
      }
      const size_t sub = size_t{lead >> kValueShift} << kSecondaryBits;
      FillEntries(lookup.secondary.data() + sub + (at & ((1u << kSecondaryBits) - 1)), span,
                  SymbolEntry(*symbol, bits));
    }
  }
  return true;
}

// The entry for the code at the top of `bits` (at least 15 bits valid):
// the primary entry, or the one it leads on to.
TOLLAMER_XPRESS_INLINE uint32_t Primary(const Lookup& lookup, uint64_t bits) {
  return lookup.primary[bits >> (64 - kPrimaryBits)];
}

TOLLAMER_XPRESS_INLINE uint32_t Secondary(const Lookup& lookup, uint32_t lead, uint64_t bits) {
  return lookup.secondary[(size_t{lead >> kValueShift} << kSecondaryBits) |
                          ((bits >> (64 - kMaxCodeBits)) & ((1u << kSecondaryBits) - 1))];
}

TOLLAMER_XPRESS_INLINE uint32_t LookUp(const Lookup& lookup, uint64_t bits) {
  const uint32_t entry = Primary(lookup, bits);
  if (!(entry & kSubTable)) [[likely]]
    return entry;
  return Secondary(lookup, entry, bits);
}

TOLLAMER_XPRESS_INLINE uint32_t Le32(const uint8_t* p) {
  uint32_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, p, sizeof value);
  } else {
    for (int i = 3; i >= 0; --i) value = value << 8 | p[i];
  }
  return value;
}

// Four 16-bit little-endian words at `p` in reading order, the first at
// the top: each pair's two words swapped by a rotation.
TOLLAMER_XPRESS_INLINE uint64_t WordsInReadingOrder(const uint8_t* p) {
  return uint64_t{std::rotr(Le32(p), 16)} << 32 | std::rotr(Le32(p + 4), 16);
}

// The chunk's 16-bit words, most significant bit first. The format's own
// reader holds 32 bits and fetches a word whenever fewer than 16 are left
// unread, and the raw bytes of a long length sit at the position that
// reader has reached. This one holds up to 64 bits, topped up several words
// at a time, and steps back to that reader's position (Rewind) before raw
// bytes and at the end of a chunk: of the bits it holds, the format's
// reader would hold 16 to 31, the same count modulo 16. Words past the end
// of the input read as zero, as they do for that reader.
struct BitReader {
  uint64_t bits = 0;  // the bits held at the top, then more of the stream or zeros
  unsigned count = 0; // how many bits are held, in its low six bits (see SkipEntry)
  size_t pos = 0;     // the next input byte to load (may lie past the end)

  // 48 to 63 bits held afterwards. Where eight input bytes remain, the
  // words that fit are added without a branch, and all 64 bits are then the
  // stream's: those below the last whole word are its next ones, where the
  // next refill puts them again.
  TOLLAMER_XPRESS_INLINE void Refill(std::span<const uint8_t> in) {
    if (in.size() >= 8 && pos <= in.size() - 8) [[likely]] {
      bits |= WordsInReadingOrder(in.data() + pos) >> (count & 63);
      const unsigned width = (63 - count) & 48;  // whole words; count stays below 64
      count += width;
      pos += width / 8;
      return;
    }
    FillWordByWord(in);
  }

  // The first words of a chunk, and the last ones of the input.
  TOLLAMER_XPRESS_INLINE void FillWordByWord(std::span<const uint8_t> in) {
    count &= 63;
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

  // The bits an entry's step takes (its bits 0-5). The whole entry is
  // subtracted from `count`, one step less than masking it first: only the
  // count's low six bits are read, and they come out right.
  TOLLAMER_XPRESS_INLINE void SkipEntry(uint32_t entry) {
    bits <<= entry & kTakeMask;
    count -= entry;
  }

  // Drops the words the format's reader would not have fetched yet (at
  // least 16 bits must be held), and the bits below them.
  TOLLAMER_XPRESS_INLINE void Rewind() {
    count &= 63;
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
    // Exactly `length` bytes, as a run of 16-byte words whose last one
    // ends where the match does.
    uint8_t run[16];
    std::memset(run, *from, sizeof run);
    if (length < 16) {
      // Two overlapping halves (a match is at least three bytes long).
      const size_t half = length < 8 ? (length < 4 ? 2 : 4) : 8;
      std::memcpy(to, run, half);
      std::memcpy(to + length - half, run, half);
      return;
    }
    for (size_t i = 0; i + 16 < length; i += 16) std::memcpy(to + i, run, 16);
    std::memcpy(to + length - 16, run, 16);
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
  // come between: they are the low ones of the top bits the step takes (1
  // to 30, read by a shift of 64 less that count, taken modulo 64).
  // ((x >> 1) >> (63 - n) is x's top n bits, none for 0.)
  if (length != kLengthEscape) [[likely]] {
    const uint64_t taken = reader.bits >> ((0u - entry) & 63);
    reader.SkipEntry(entry);
    distance = (size_t{1} << distance_bits) | static_cast<size_t>(taken & ((uint64_t{1} << distance_bits) - 1));
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
    // distance bits (at most 30) and the lookup after them. (This refill
    // adds no word: it loads the bits below the held ones.)
    reader.Refill(in);
    uint32_t entry = LookUp(lookup, reader.bits);
    size_t length = 0;
    size_t distance = 0;
    // The fast loop, far from the chunk's end and the input's: its literals
    // need no check of the output's room, and each step starts after a
    // refill that loaded eight bytes, so that all 64 bits are the stream's.
    // That is enough for three literals from primary entries (at most 12
    // bits each) and the lookup after each. Only primary entries are looked
    // up in a step; one that leads on is followed at the next step's start,
    // as neither a literal nor a match.
    if (chunk_end - out_pos > kFastRoom && in.size() >= 8) {
      uint8_t* op = dst + out_pos;
      uint8_t* const op_end = dst + (chunk_end - kFastRoom);
      uint8_t* const out_end = dst + out_size;
      const size_t in_end = in.size() - 8;
      XpressStatus status = XpressStatus::kOk;
      while (op < op_end && reader.pos <= in_end) {
        if (entry & kLiteral) [[likely]] {
          op[0] = static_cast<uint8_t>(entry >> kValueShift);
          reader.SkipEntry(entry);
          entry = Primary(lookup, reader.bits);
          if (entry & kLiteral) {
            op[1] = static_cast<uint8_t>(entry >> kValueShift);
            reader.SkipEntry(entry);
            entry = Primary(lookup, reader.bits);
            if (entry & kLiteral) {
              op[2] = static_cast<uint8_t>(entry >> kValueShift);
              reader.SkipEntry(entry);
              entry = Primary(lookup, reader.bits);
              op += 3;
            } else {
              op += 2;
            }
          } else {
            op += 1;
          }
          reader.Refill(in);
          continue;
        }
        if (!(entry & kMatch)) [[unlikely]] {
          if (entry & kSubTable) entry = Secondary(lookup, entry, reader.bits);
          if (entry & kLiteral) {
            *op++ = static_cast<uint8_t>(entry >> kValueShift);
            reader.SkipEntry(entry);
            entry = Primary(lookup, reader.bits);
            reader.Refill(in);
            continue;
          }
          if (!(entry & kMatch)) {
            status = XpressStatus::kBadCode;
            break;
          }
        }
        status = ReadMatch(entry, in, reader, length, distance);
        if (status != XpressStatus::kOk) break;
        entry = Primary(lookup, reader.bits);
        reader.Refill(in);
        if (distance > static_cast<size_t>(op - dst) || length > static_cast<size_t>(out_end - op)) {
          status = XpressStatus::kBadMatch;
          break;
        }
        // CopyMatch's commonest case, as it does it: the room is enough.
        if (distance >= 16 && length <= 32) {
          std::memcpy(op, op - distance, 16);
          std::memcpy(op + 16, op - distance + 16, 16);
        } else {
          CopyMatch(op, distance, length, static_cast<size_t>(out_end - op));
        }
        op += length;
      }
      if (status != XpressStatus::kOk) return status;
      out_pos = static_cast<size_t>(op - dst);
      if (entry & kSubTable) entry = Secondary(lookup, entry, reader.bits);
    }
    // The careful loop: the chunk's last bytes, and the input's.
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
