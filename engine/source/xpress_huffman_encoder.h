// An LZ77+Huffman writer (the stream xpress_huffman.h reads): greedy
// matches found through a hash chain, one canonical Huffman table per 64 KiB
// chunk. It makes compressed backups for the test fixtures, the fuzz seeds
// and the benchmarks; it aims at valid streams, not at the best ratio.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tollamer {

std::vector<uint8_t> EncodeXpressHuffman(std::span<const uint8_t> in);

}  // namespace tollamer
