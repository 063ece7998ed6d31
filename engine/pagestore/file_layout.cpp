#include "engine/pagestore/file_layout.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/pagestore/page_layout.h"

namespace tollamer {

using namespace page_layout;

namespace {

constexpr char kTapeMagic[4] = {'T', 'A', 'P', 'E'};
constexpr char kEndOfSetBlock[4] = {'E', 'S', 'E', 'T'};
// How far from the end of the file the end-of-set block is looked for.
constexpr uint64_t kTailBytes = 64 * 1024;

bool StartsWithTapeBlock(const platform::ReadOnlyFile& file) {
  uint8_t magic[sizeof kTapeMagic] = {};
  return file.ReadAt(0, magic) == sizeof magic && std::memcmp(magic, kTapeMagic, sizeof magic) == 0;
}

// True when a sector (one starting at `first_sector` modulo 512) of the
// file's last 64 KiB begins an end-of-set block.
bool EndsWithEndOfSet(const platform::ReadOnlyFile& file, uint64_t first_sector) {
  const uint64_t length = file.Length();
  const uint64_t from = length > kTailBytes ? length - kTailBytes : 0;
  std::vector<uint8_t> tail(static_cast<size_t>(length - from));
  const size_t got = file.ReadAt(from, tail);
  const uint64_t phase = first_sector % kSectorSize;
  uint64_t at = from - from % kSectorSize + phase;
  if (at < from) at += kSectorSize;
  for (; at + sizeof kEndOfSetBlock <= from + got; at += kSectorSize)
    if (std::memcmp(tail.data() + (at - from), kEndOfSetBlock, sizeof kEndOfSetBlock) == 0) return true;
  return false;
}

// Most page headers (of a few at least) lie off the data file base, and
// nearly all of them follow each other in ascending page order, as a
// backup's stream holds them (it repeats its first pages once, at its end).
bool LooksLikeBackupStream(const DataFileStart& start) {
  constexpr uint64_t kFewestHeaders = 8;
  constexpr uint64_t kAscendingTenths = 9;
  return start.primary >= kFewestHeaders && start.stray > start.votes &&
         start.ascending * 10 >= (start.primary - 1) * kAscendingTenths;
}

}  // namespace

FileLayout ReadFileLayout(const platform::ReadOnlyFile& file) {
  FileLayout layout;
  if (StartsWithTapeBlock(file)) {
    layout.backup = true;
  } else {
    layout.start = FindDataFileStart(file);
    layout.firstSector = layout.start.phase;
    layout.backup = LooksLikeBackupStream(layout.start) ||
                    (layout.start.votes > 0 && EndsWithEndOfSet(file, layout.firstSector));
    layout.headMissing = layout.backup;
  }
  if (layout.backup) layout.tailMissing = !EndsWithEndOfSet(file, layout.firstSector);
  return layout;
}

}  // namespace tollamer
