// A compressed backup's record chain on untrusted bytes: the index pass
// (header checks, the search after a lost header), the decoded stream read
// whole and in pieces that straddle blocks, and the damage list.
#include <algorithm>

#include "engine/source/compressed_backup.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  auto source = std::make_unique<tollamer::fuzz::MemorySource>(input);
  tollamer::DecodedBackupOpen opened = tollamer::OpenDecodedBackup(std::move(source));
  if (!opened.file) return 0;
  const tollamer::DecodedBackupFile& stream = *opened.file;
  const uint64_t length = std::min<uint64_t>(stream.Length(), 64ull << 20);
  std::vector<uint8_t> buffer(300000);
  for (uint64_t at = 0; at < length; at += buffer.size()) (void)stream.ReadAt(at, buffer);
  for (uint64_t at = 7; at < length; at += 40000) (void)stream.ReadAt(at, std::span(buffer).first(9000));
  (void)stream.DamagedBlocks();
  return 0;
}
