// The LZ77+Huffman decoder on untrusted bytes: the first two input bytes
// give the output size in 512-byte units (up to 128 KiB, two chunks and
// more), the rest is the stream. Whatever it decodes to, it must stay
// within its spans; a stream that decodes is re-encoded and must round-trip.
#include "engine/source/xpress_huffman.h"
#include "engine/source/xpress_huffman_encoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  const size_t units = tollamer::fuzz::U16At(input, 0) % 257;
  std::vector<uint8_t> out(units * 512);
  std::span<const uint8_t> stream = input.size() > 2 ? input.subspan(2) : std::span<const uint8_t>();
  if (tollamer::DecodeXpressHuffman(stream, out) != tollamer::XpressStatus::kOk) return 0;
  const std::vector<uint8_t> again = tollamer::EncodeXpressHuffman(out);
  std::vector<uint8_t> back(out.size());
  if (tollamer::DecodeXpressHuffman(again, back) != tollamer::XpressStatus::kOk || back != out)
    __builtin_trap();
  return 0;
}
