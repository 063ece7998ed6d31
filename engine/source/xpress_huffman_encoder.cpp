#include "engine/source/xpress_huffman_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <queue>

namespace tollamer {

namespace {

constexpr size_t kSymbols = 512;
constexpr unsigned kMaxBits = 15;
constexpr size_t kChunk = 65536;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 65535 + kMinMatch;
constexpr size_t kMaxDistance = 65535;
constexpr unsigned kEndSymbol = 256;
constexpr unsigned kHashBits = 15;
constexpr int kChainTries = 16;

struct Token {
  uint32_t length;    // 0: a literal
  uint32_t distance;  // or the literal byte
};

unsigned Hash(const uint8_t* p) {
  const uint32_t v = static_cast<uint32_t>(p[0]) | p[1] << 8 | p[2] << 16;
  return (v * 2654435761u) >> (32 - kHashBits);
}

std::vector<Token> FindMatches(std::span<const uint8_t> chunk) {
  std::vector<Token> tokens;
  std::vector<int32_t> head(size_t{1} << kHashBits, -1);
  std::vector<int32_t> prev(chunk.size(), -1);
  const size_t n = chunk.size();
  auto insert = [&](size_t at) {
    if (at + kMinMatch > n) return;
    const unsigned h = Hash(chunk.data() + at);
    prev[at] = head[h];
    head[h] = static_cast<int32_t>(at);
  };
  for (size_t at = 0; at < n;) {
    size_t best = 0, best_distance = 0;
    if (at + kMinMatch <= n) {
      int32_t candidate = head[Hash(chunk.data() + at)];
      const size_t limit = std::min(kMaxMatch, n - at);
      for (int tries = 0; candidate >= 0 && tries < kChainTries; ++tries) {
        const size_t distance = at - static_cast<size_t>(candidate);
        if (distance > kMaxDistance) break;
        size_t length = 0;
        while (length < limit && chunk[candidate + length] == chunk[at + length]) ++length;
        if (length > best) {
          best = length;
          best_distance = distance;
          if (length == limit) break;
        }
        candidate = prev[static_cast<size_t>(candidate)];
      }
    }
    if (best >= kMinMatch) {
      tokens.push_back({static_cast<uint32_t>(best), static_cast<uint32_t>(best_distance)});
      for (size_t i = 0; i < best; ++i) insert(at + i);
      at += best;
    } else {
      tokens.push_back({0, chunk[at]});
      insert(at);
      ++at;
    }
  }
  return tokens;
}

unsigned MatchSymbol(const Token& t) {
  const unsigned bits = std::bit_width(t.distance) - 1;
  return 256 + (bits << 4) + std::min<unsigned>(t.length - kMinMatch, 15);
}

// Huffman code lengths of at most 15 bits: rarer symbols' counts are halved
// until the longest code fits.
std::array<uint8_t, kSymbols> CodeLengths(std::array<uint32_t, kSymbols> counts) {
  std::array<uint8_t, kSymbols> lengths{};
  for (;;) {
    struct Node {
      uint64_t weight;
      int index;
      bool operator>(const Node& o) const { return weight > o.weight; }
    };
    std::vector<int> parent(2 * kSymbols, -1);
    std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
    for (size_t s = 0; s < kSymbols; ++s)
      if (counts[s]) queue.push({counts[s], static_cast<int>(s)});
    int next = kSymbols;
    while (queue.size() > 1) {
      Node a = queue.top(); queue.pop();
      Node b = queue.top(); queue.pop();
      parent[a.index] = parent[b.index] = next;
      queue.push({a.weight + b.weight, next++});
    }
    unsigned longest = 0;
    for (size_t s = 0; s < kSymbols; ++s) {
      if (!counts[s]) { lengths[s] = 0; continue; }
      unsigned depth = 0;
      for (int at = static_cast<int>(s); parent[at] >= 0; at = parent[at]) ++depth;
      lengths[s] = static_cast<uint8_t>(std::max(depth, 1u));
      longest = std::max(longest, depth);
    }
    if (longest <= kMaxBits) return lengths;
    for (uint32_t& c : counts) if (c) c = (c + 1) / 2;
  }
}

// Bits most significant first in 16-bit words whose places are reserved in
// the order the reader will fetch them: the first two at the start, then
// one each time the bits written pass the end of the word before the last
// reserved, so that raw length bytes land where the reader looks for them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {
    Reserve();
    Reserve();
  }
  void Bits(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
      word_ = static_cast<uint16_t>(word_ << 1 | ((value >> i) & 1));
      if (++filled_ == 16) Flush();
    }
    written_ += count;
    if (written_ > 16 * (slots_.size() - 1)) Reserve();
  }
  void Byte(uint8_t b) { out_.push_back(b); }
  void Finish() {
    if (filled_) {
      word_ = static_cast<uint16_t>(word_ << (16 - filled_));
      Flush();
    }
  }

 private:
  void Reserve() {
    slots_.push_back(out_.size());
    out_.insert(out_.end(), 2, 0);
  }
  void Flush() {
    out_[slots_[done_]] = static_cast<uint8_t>(word_);
    out_[slots_[done_] + 1] = static_cast<uint8_t>(word_ >> 8);
    ++done_;
    word_ = 0;
    filled_ = 0;
  }

  std::vector<uint8_t>& out_;
  std::vector<size_t> slots_;
  size_t done_ = 0;
  uint16_t word_ = 0;
  unsigned filled_ = 0;
  uint64_t written_ = 0;
};

void EncodeChunk(std::span<const uint8_t> chunk, bool last, std::vector<uint8_t>& out) {
  const std::vector<Token> tokens = FindMatches(chunk);
  std::array<uint32_t, kSymbols> counts{};
  for (const Token& t : tokens) ++counts[t.length ? MatchSymbol(t) : t.distance];
  ++counts[kEndSymbol];  // written after the last chunk; keeps two symbols in every table
  const std::array<uint8_t, kSymbols> lengths = CodeLengths(counts);
  for (size_t i = 0; i < kSymbols; i += 2)
    out.push_back(static_cast<uint8_t>(lengths[i] | lengths[i + 1] << 4));
  // Canonical codes: by length, then by symbol.
  std::array<uint16_t, kSymbols> codes{};
  uint32_t next = 0;
  for (unsigned bits = 1; bits <= kMaxBits; ++bits)
    for (size_t s = 0; s < kSymbols; ++s)
      if (lengths[s] == bits) {
        codes[s] = static_cast<uint16_t>(next >> (kMaxBits - bits));
        next += 1u << (kMaxBits - bits);
      }
  BitWriter writer(out);
  for (const Token& t : tokens) {
    if (!t.length) {
      writer.Bits(codes[t.distance], lengths[t.distance]);
      continue;
    }
    const unsigned symbol = MatchSymbol(t);
    writer.Bits(codes[symbol], lengths[symbol]);
    const size_t extra = t.length - kMinMatch;
    if (extra >= 15) {
      if (extra - 15 < 255) {
        writer.Byte(static_cast<uint8_t>(extra - 15));
      } else {
        writer.Byte(255);
        writer.Byte(static_cast<uint8_t>(extra));
        writer.Byte(static_cast<uint8_t>(extra >> 8));
      }
    }
    const unsigned bits = std::bit_width(t.distance) - 1;
    writer.Bits(t.distance - (1u << bits), bits);
  }
  if (last) writer.Bits(codes[kEndSymbol], lengths[kEndSymbol]);
  writer.Finish();
}

}  // namespace

std::vector<uint8_t> EncodeXpressHuffman(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
  out.reserve(in.size() / 2 + 512);
  for (size_t at = 0; at < in.size(); at += kChunk) {
    const size_t n = std::min(kChunk, in.size() - at);
    EncodeChunk(in.subspan(at, n), at + n >= in.size(), out);
  }
  return out;
}

}  // namespace tollamer
