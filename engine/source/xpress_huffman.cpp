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

// One lookup entry per 15-bit prefix: the symbol in the low 9 bits, its
// code length above them; 0 marks a prefix no code starts.
using Lookup = std::array<uint16_t, kLookupEntries>;

bool BuildLookup(std::span<const uint8_t> lengths_packed, Lookup& lookup) {
  std::array<uint8_t, kSymbolCount> lengths{};
  for (size_t i = 0; i < kTableBytes; ++i) {
    lengths[2 * i] = lengths_packed[i] & 0x0F;
    lengths[2 * i + 1] = lengths_packed[i] >> 4;
  }
  // Canonical codes: shorter codes first, equal lengths by symbol, each code
  // taking the next 2^(15 - length) prefixes of the table.
  size_t next = 0;
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
    const size_t span = kLookupEntries >> bits;
    const auto entry_high = static_cast<uint16_t>(bits << 9);
    for (size_t symbol = 0; symbol < kSymbolCount; ++symbol) {
      if (lengths[symbol] != bits) continue;
      if (kLookupEntries - next < span) return false;  // over-subscribed
      std::fill_n(lookup.begin() + next, span, static_cast<uint16_t>(entry_high | symbol));
      next += span;
    }
  }
  if (next == 0) return false;
  std::fill(lookup.begin() + next, lookup.end(), uint16_t{0});
  return true;
}

// The 16-bit words of a chunk, most significant bit first: `bits` holds the
// next 16 + `spare` bits at its top.
class BitReader {
 public:
  BitReader(std::span<const uint8_t> in, size_t& pos) : in_(in), pos_(pos) {
    bits_ = static_cast<uint32_t>(Word()) << 16;
    bits_ |= Word();
  }
  uint32_t Peek() const { return bits_; }
  void Skip(unsigned count) {
    bits_ <<= count;
    spare_ -= static_cast<int>(count);
    if (spare_ < 0) {
      bits_ |= static_cast<uint32_t>(Word()) << -spare_;
      spare_ += 16;
    }
  }
  bool Overrun() const { return overrun_ > kAllowedOverrun; }

 private:
  uint16_t Word() {
    uint16_t value = 0;
    if (pos_ < in_.size() && in_.size() - pos_ >= 2) {
      value = static_cast<uint16_t>(in_[pos_] | in_[pos_ + 1] << 8);
    } else {
      if (pos_ < in_.size()) value = in_[pos_];
      overrun_ += 2;
    }
    pos_ += 2;
    return value;
  }

  std::span<const uint8_t> in_;
  size_t& pos_;
  uint32_t bits_ = 0;
  int spare_ = 16;
  size_t overrun_ = 0;
};

// The raw length bytes after a length-15 match symbol; nothing when the input
// ends first or the word form is shorter than it needs to be.
bool ReadLongLength(std::span<const uint8_t> in, size_t& pos, size_t& length) {
  if (pos >= in.size()) return false;
  length = in[pos++];
  if (length == kLengthWordEscape) {
    if (pos >= in.size() || in.size() - pos < 2) return false;
    length = static_cast<size_t>(in[pos] | in[pos + 1] << 8);
    pos += 2;
    if (length < kLengthEscape) return false;
    length -= kLengthEscape;
  }
  length += kLengthEscape;
  return true;
}

}  // namespace

XpressStatus DecodeXpressHuffman(std::span<const uint8_t> in, std::span<uint8_t> out,
                                 size_t* consumed) {
  // One table per thread, rebuilt for every chunk.
  thread_local std::unique_ptr<Lookup> table;
  if (!table) table = std::make_unique<Lookup>();
  Lookup* const lookup = table.get();
  size_t in_pos = 0;
  size_t out_pos = 0;
  uint8_t* const dst = out.data();
  while (out_pos < out.size()) {
    if (in_pos > in.size() || in.size() - in_pos < kTableBytes) return XpressStatus::kTruncated;
    if (!BuildLookup(in.subspan(in_pos, kTableBytes), *lookup)) return XpressStatus::kBadTable;
    in_pos += kTableBytes;
    BitReader reader(in, in_pos);
    const size_t chunk_end = std::min(out.size(), out_pos + kChunkOutput);
    while (out_pos < chunk_end) {
      const uint16_t entry = (*lookup)[reader.Peek() >> (32 - kMaxCodeBits)];
      if (entry == 0) return XpressStatus::kBadCode;
      reader.Skip(entry >> 9);
      const unsigned symbol = entry & 0x1FF;
      if (symbol < kLiteralSymbols) {
        dst[out_pos++] = static_cast<uint8_t>(symbol);
        continue;
      }
      const unsigned match = symbol - kLiteralSymbols;
      size_t length = match & 0x0F;
      const unsigned distance_bits = match >> 4;
      if (length == kLengthEscape && !ReadLongLength(in, in_pos, length))
        return XpressStatus::kTruncated;
      length += kMinMatch;
      size_t distance = size_t{1} << distance_bits;
      if (distance_bits > 0) distance |= reader.Peek() >> (32 - distance_bits);
      reader.Skip(distance_bits);
      if (distance > out_pos || length > out.size() - out_pos) return XpressStatus::kBadMatch;
      uint8_t* to = dst + out_pos;
      const uint8_t* from = to - distance;
      if (distance >= length) {
        std::memcpy(to, from, length);
      } else {
        for (size_t i = 0; i < length; ++i) to[i] = from[i];  // overlapping: repeats
      }
      out_pos += length;
    }
    if (reader.Overrun()) return XpressStatus::kTruncated;
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
