#include "engine/pagestore/backup_media.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

namespace {

constexpr size_t kFirstStreamOffset = 0x08;
constexpr char kRaidStreamId[4] = {'R', 'A', 'I', 'D'};
constexpr size_t kRaidMediaSetId = 22;
constexpr size_t kRaidFamilyCount = 42;
constexpr size_t kRaidFamilySequence = 46;

// Sample of the stream for the scrambled test: past the tape headers, a few
// blocks spread over the file.
constexpr uint64_t kSampleStart = 64 * 1024;
constexpr size_t kSampleBlock = 64 * 1024;
constexpr int kSampleBlocks = 8;
// Compressed or encrypted bytes carry close to 8 bits of entropy per byte;
// page images, with their zero runs, headers and slot arrays, far less.
constexpr double kScrambledBitsPerByte = 7.5;

}  // namespace

BackupMedia ReadBackupMedia(const platform::ReadOnlyFile& file) {
  BackupMedia media;
  std::array<uint8_t, 1024> head{};
  size_t got = file.ReadAt(0, head);
  ByteView block(head.data(), got);
  std::optional<uint16_t> first = block.U16(kFirstStreamOffset);
  if (!first) return media;
  std::optional<ByteView> stream = block.Slice(*first, kRaidFamilySequence + 2);
  if (!stream || std::memcmp(stream->data(), kRaidStreamId, sizeof kRaidStreamId) != 0)
    return media;
  uint16_t count = stream->LeOr<uint16_t>(kRaidFamilyCount);
  uint16_t sequence = stream->LeOr<uint16_t>(kRaidFamilySequence);
  if (count == 0 || sequence == 0 || sequence > count) return media;
  media.described = true;
  media.familyCount = count;
  media.familySequence = sequence;
  std::memcpy(media.mediaSetId.data(), stream->data() + kRaidMediaSetId, media.mediaSetId.size());
  return media;
}

bool BackupStreamLooksScrambled(const platform::ReadOnlyFile& file) {
  const uint64_t length = file.Length();
  if (length <= kSampleStart + kSampleBlock) return false;
  std::array<uint64_t, 256> counts{};
  uint64_t total = 0;
  std::vector<uint8_t> buffer(kSampleBlock);
  const uint64_t span = length - kSampleStart - kSampleBlock;
  for (int i = 0; i < kSampleBlocks; ++i) {
    uint64_t at = kSampleStart + span * i / kSampleBlocks;
    size_t got = file.ReadAt(at, buffer);
    for (size_t k = 0; k < got; ++k) ++counts[buffer[k]];
    total += got;
  }
  if (total == 0) return false;
  double bits = 0;
  for (uint64_t c : counts) {
    if (c == 0) continue;
    double p = static_cast<double>(c) / static_cast<double>(total);
    bits -= p * std::log2(p);
  }
  return bits >= kScrambledBitsPerByte;
}

}  // namespace tollamer
