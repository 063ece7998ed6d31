#include "engine/source/xpress_huffman.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

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
// entries for the 3 bits after it. An entry holds the code length in its
// low 6 bits (where a shift by the entry takes it) and the symbol above
// them; 0 marks a prefix no code starts, kSubTable (with the table's
// number) a prefix that leads on.
constexpr unsigned kPrimaryBits = 12;
constexpr unsigned kSecondaryBits = kMaxCodeBits - kPrimaryBits;
constexpr uint16_t kSubTable = 0x8000;
constexpr unsigned kSymbolShift = 6;
constexpr uint16_t kCodeBitsMask = 63;
struct Lookup {
  std::array<uint16_t, size_t{1} << kPrimaryBits> primary;
  std::array<uint16_t, kLookupEntries> secondary;  // room for every prefix to lead on
};

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
  lookup.primary.fill(0);
  uint16_t tables = 0;
  for (size_t symbol = 0; symbol < kSymbolCount; ++symbol) {
    const unsigned bits = lengths[symbol];
    if (bits == 0) continue;
    const size_t span = kLookupEntries >> bits;
    const size_t at = next[bits];
    next[bits] += span;
    const uint16_t entry = static_cast<uint16_t>(symbol << kSymbolShift | bits);
    if (bits <= kPrimaryBits) {
      std::fill_n(lookup.primary.begin() + (at >> kSecondaryBits), span >> kSecondaryBits, entry);
      continue;
    }
    // Longer codes all come after the short ones, so their prefix's entry
    // is free or already leads on.
    uint16_t& lead = lookup.primary[at >> kSecondaryBits];
    if (lead == 0) {
      lead = static_cast<uint16_t>(kSubTable | tables);
      std::fill_n(lookup.secondary.begin() + (size_t{tables} << kSecondaryBits),
                  size_t{1} << kSecondaryBits, uint16_t{0});
      ++tables;
    }
    const size_t sub = size_t{static_cast<uint16_t>(lead & ~kSubTable)} << kSecondaryBits;
    std::fill_n(lookup.secondary.begin() + sub + (at & ((1u << kSecondaryBits) - 1)), span, entry);
  }
  return true;
}

// The entry for the code at the top of `bits` (at least 15 bits valid).
inline uint16_t LookUp(const Lookup& lookup, uint64_t bits) {
  const uint16_t entry = lookup.primary[bits >> (64 - kPrimaryBits)];
  if (!(entry & kSubTable)) return entry;
  return lookup.secondary[(size_t{static_cast<uint16_t>(entry & ~kSubTable)} << kSecondaryBits) |
                          ((bits >> (64 - kMaxCodeBits)) & ((1u << kSecondaryBits) - 1))];
}

uint64_t Le64(const uint8_t* p) {
  uint64_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, p, sizeof value);
  } else {
    for (int i = 7; i >= 0; --i) value = value << 8 | p[i];
  }
  return value;
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
  uint64_t bits = 0;  // `count` bits at the top, zeros below
  unsigned count = 0;
  size_t pos = 0;     // the next input byte to load (may lie past the end)

  // At least 49 bits held afterwards, from at least 1 before. Where eight
  // input bytes remain, the words that fit are added without a branch.
  inline void Refill(std::span<const uint8_t> in) {
    if (in.size() >= 8 && pos <= in.size() - 8) {
      uint64_t words = Le64(in.data() + pos);
      words = (words & 0x0000FFFF0000FFFFull) << 16 | ((words >> 16) & 0x0000FFFF0000FFFFull);
      words = std::rotl(words, 32);  // now in reading order, the first at the top
      const unsigned width = (64 - count) & ~15u;  // whole words, at most 48 bits
      // (With all 64 bits held nothing is added: the shift stays below 64.)
      bits |= (words & ~(~uint64_t{0} >> width)) >> (count & 63);
      count += width;
      pos += width / 8;
      return;
    }
    FillWordByWord(in);
  }

  // The first words of a chunk, and the last ones of the input.
  void FillWordByWord(std::span<const uint8_t> in) {
    while (count <= 48) {
      uint64_t word = 0;
      if (pos < in.size()) word = in.size() - pos >= 2 ? (in[pos] | in[pos + 1] << 8) : in[pos];
      pos += 2;
      bits |= word << (48 - count);
      count += 16;
    }
  }

  inline void Skip(unsigned n) {
    bits <<= n;
    count -= n;
  }

  // Drops the words the format's reader would not have fetched yet (at
  // least 16 bits must be held).
  inline void Rewind() {
    const unsigned keep = 16 + ((count - 16) & 15);
    pos -= (count - keep) / 8;
    bits &= ~(~uint64_t{0} >> keep);
    count = keep;
  }
};

// The raw length bytes after a length-15 match symbol.
XpressStatus ReadLongLength(std::span<const uint8_t> in, size_t& pos, size_t& length) {
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
// bytes at a time (up to 15 past the end, which later output overwrites):
// a distance below eight repeats a pattern, so after its first eight bytes
// each word is copied from a whole number of periods back, at least eight.
inline void CopyMatch(uint8_t* to, size_t distance, size_t length, size_t room) {
  const uint8_t* from = to - distance;
  if (length + 16 > room) {
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
    std::memcpy(to, from, 16);
    for (size_t i = 16; i < length; i += 16) std::memcpy(to + i, from + i, 16);
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

}  // namespace

XpressStatus DecodeXpressHuffman(std::span<const uint8_t> in, std::span<uint8_t> out,
                                 size_t* consumed) {
  // One table per thread, rebuilt for every chunk.
  thread_local std::unique_ptr<Lookup> table;
  if (!table) table = std::make_unique<Lookup>();
  const Lookup& lookup = *table;
  size_t in_pos = 0;
  size_t out_pos = 0;
  uint8_t* const dst = out.data();
  const size_t out_size = out.size();
  while (out_pos < out_size) {
    if (in_pos > in.size() || in.size() - in_pos < kTableBytes) return XpressStatus::kTruncated;
    if (!BuildLookup(in.subspan(in_pos, kTableBytes), *table)) return XpressStatus::kBadTable;
    BitReader reader;
    reader.pos = in_pos + kTableBytes;
    reader.FillWordByWord(in);
    const size_t chunk_end = std::min(out_size, out_pos + kChunkOutput);
    // Each symbol's entry is looked up before the words after it are
    // loaded (at least 15 bits are held then), so that the loads are not
    // in the chain of lookups.
    uint16_t entry = LookUp(lookup, reader.bits);
    while (out_pos < chunk_end) {
      if (entry == 0) return XpressStatus::kBadCode;
      reader.Skip(entry & kCodeBitsMask);
      const unsigned symbol = entry >> kSymbolShift;
      if (symbol < kLiteralSymbols) {
        dst[out_pos++] = static_cast<uint8_t>(symbol);
        entry = LookUp(lookup, reader.bits);
        reader.Refill(in);
        continue;
      }
      const unsigned match = symbol - kLiteralSymbols;
      size_t length = match & 0x0F;
      const unsigned distance_bits = match >> 4;
      const bool long_length = length == kLengthEscape;
      if (long_length) {
        reader.Rewind();
        if (XpressStatus status = ReadLongLength(in, reader.pos, length); status != XpressStatus::kOk)
          return status;
      }
      length += kMinMatch;
      // Up to 15 bits follow; at least 16 are held.
      const size_t distance = (size_t{1} << distance_bits) |
                              static_cast<size_t>((reader.bits >> 32) >> (32 - distance_bits));
      reader.Skip(distance_bits);
      if (long_length) reader.Refill(in);
      entry = LookUp(lookup, reader.bits);
      reader.Refill(in);
      if (distance > out_pos || length > out_size - out_pos) return XpressStatus::kBadMatch;
      CopyMatch(dst + out_pos, distance, length, out_size - out_pos);
      out_pos += length;
    }
    // Every symbol ended with a refill: more than 16 bits are held.
    reader.Rewind();
    in_pos = reader.pos;
    if (in_pos > in.size() && in_pos - in.size() > kAllowedOverrun) return XpressStatus::kTruncated;
  }
  if (consumed) *consumed = in_pos;
  return XpressStatus::kOk;
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
