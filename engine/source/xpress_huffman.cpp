#include "engine/source/xpress_huffman.h"

#include <algorithm>
#include <array>
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

// Codes are looked up by their first 10 bits; a prefix that starts longer
// codes leads to a table of 32 entries for the 5 bits after it. An entry
// holds the symbol in its low 9 bits and the code length above them; 0
// marks a prefix no code starts, kSubTable (with the table's number) a
// prefix that leads on.
constexpr unsigned kPrimaryBits = 10;
constexpr unsigned kSecondaryBits = kMaxCodeBits - kPrimaryBits;
constexpr uint16_t kSubTable = 0x8000;
struct Lookup {
  std::array<uint16_t, size_t{1} << kPrimaryBits> primary;
  std::array<uint16_t, kLookupEntries> secondary;  // room for every prefix to lead on
};

bool BuildLookup(std::span<const uint8_t> lengths_packed, Lookup& lookup) {
  std::array<uint8_t, kSymbolCount> lengths{};
  for (size_t i = 0; i < kTableBytes; ++i) {
    lengths[2 * i] = lengths_packed[i] & 0x0F;
    lengths[2 * i + 1] = lengths_packed[i] >> 4;
  }
  lookup.primary.fill(0);
  // Canonical codes: shorter codes first, equal lengths by symbol, each code
  // taking the next 2^(15 - length) of the 15-bit prefixes.
  size_t next = 0;
  uint16_t tables = 0;
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
    const size_t span = kLookupEntries >> bits;
    const auto entry = [bits](size_t symbol) { return static_cast<uint16_t>(bits << 9 | symbol); };
    for (size_t symbol = 0; symbol < kSymbolCount; ++symbol) {
      if (lengths[symbol] != bits) continue;
      if (kLookupEntries - next < span) return false;  // over-subscribed
      if (bits <= kPrimaryBits) {
        std::fill_n(lookup.primary.begin() + (next >> kSecondaryBits), span >> kSecondaryBits,
                    entry(symbol));
      } else {
        uint16_t& lead = lookup.primary[next >> kSecondaryBits];
        if (lead == 0) {
          lead = static_cast<uint16_t>(kSubTable | tables);
          std::fill_n(lookup.secondary.begin() + (size_t{tables} << kSecondaryBits),
                      size_t{1} << kSecondaryBits, uint16_t{0});
          ++tables;
        }
        const size_t sub = size_t{static_cast<uint16_t>(lead & ~kSubTable)} << kSecondaryBits;
        std::fill_n(lookup.secondary.begin() + sub + (next & ((1u << kSecondaryBits) - 1)), span,
                    entry(symbol));
      }
      next += span;
    }
  }
  return next != 0;
}

inline uint16_t LookUp(const Lookup& lookup, uint32_t bits) {
  const uint16_t entry = lookup.primary[bits >> (32 - kPrimaryBits)];
  if (!(entry & kSubTable)) return entry;
  return lookup.secondary[(size_t{static_cast<uint16_t>(entry & ~kSubTable)} << kSecondaryBits) |
                          ((bits >> (32 - kMaxCodeBits)) & ((1u << kSecondaryBits) - 1))];
}

// The 16-bit words of a chunk are read most significant bit first: `bits`
// holds the next 16 + `spare` bits at its top, and a word is fetched each
// time `spare` drops below 0 (the order raw length bytes depend on). The
// state lives in locals of the decode loop, not behind references, so that
// the compiler keeps it in registers across the byte stores.
struct BitState {
  uint32_t bits = 0;
  int spare = 16;
  size_t overrun = 0;
};

inline uint16_t FetchWord(std::span<const uint8_t> in, size_t& pos, size_t& overrun) {
  uint16_t value = 0;
  if (pos < in.size() && in.size() - pos >= 2) {
    value = static_cast<uint16_t>(in[pos] | in[pos + 1] << 8);
  } else {
    if (pos < in.size()) value = in[pos];
    overrun += 2;
  }
  pos += 2;
  return value;
}

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
// `to`; `room` bytes are writable from `to`. Where the room allows, eight
// bytes at a time (up to seven past the end, which later output
// overwrites): a distance below eight repeats a pattern, so after its first
// eight bytes each word is copied from a whole number of periods back, at
// least eight.
inline void CopyMatch(uint8_t* to, size_t distance, size_t length, size_t room) {
  const uint8_t* from = to - distance;
  if (length + 8 > room) {
    if (distance == 1) {
      std::memset(to, *from, length);
    } else if (distance >= length) {
      std::memcpy(to, from, length);
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];
    }
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
    in_pos += kTableBytes;
    size_t overrun = 0;
    uint32_t bits = static_cast<uint32_t>(FetchWord(in, in_pos, overrun)) << 16;
    bits |= FetchWord(in, in_pos, overrun);
    int spare = 16;
    auto skip = [&](unsigned count) {
      bits <<= count;
      spare -= static_cast<int>(count);
      if (spare < 0) {
        bits |= static_cast<uint32_t>(FetchWord(in, in_pos, overrun)) << -spare;
        spare += 16;
      }
    };
    const size_t chunk_end = std::min(out_size, out_pos + kChunkOutput);
    while (out_pos < chunk_end) {
      const uint16_t entry = LookUp(lookup, bits);
      if (entry == 0) return XpressStatus::kBadCode;
      skip(entry >> 9);
      const unsigned symbol = entry & 0x1FF;
      if (symbol < kLiteralSymbols) {
        dst[out_pos++] = static_cast<uint8_t>(symbol);
        continue;
      }
      const unsigned match = symbol - kLiteralSymbols;
      size_t length = match & 0x0F;
      const unsigned distance_bits = match >> 4;
      if (length == kLengthEscape) {
        if (XpressStatus status = ReadLongLength(in, in_pos, length); status != XpressStatus::kOk)
          return status;
      }
      length += kMinMatch;
      size_t distance = size_t{1} << distance_bits;
      if (distance_bits > 0) {
        distance |= bits >> (32 - distance_bits);
        skip(distance_bits);
      }
      if (distance > out_pos || length > out_size - out_pos) return XpressStatus::kBadMatch;
      CopyMatch(dst + out_pos, distance, length, out_size - out_pos);
      out_pos += length;
    }
    if (overrun > kAllowedOverrun) return XpressStatus::kTruncated;
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
