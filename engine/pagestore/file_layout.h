// Whether a file holds a data file or a full backup, and where its pages
// start.
//
// A full backup (Microsoft Tape Format) begins with its TAPE block and ends
// with the end-of-set block of its backup set: a 512-byte block starting
// with "ESET" in the last sectors of the file (every backup seen ends with
// one, 1.5 or 8 KiB before the end). A backup that lost its head begins
// somewhere in its stream: its page images are still there, on sectors
// shifted by wherever the cut fell, but they do not lie at one base as a
// data file's pages do (the stream leaves unallocated extents out and
// repeats the first pages at its end) while their page numbers ascend, or
// its end-of-set block shows it. A backup that lost its tail has no
// end-of-set block.
#pragma once

#include <cstdint>

#include "engine/pagestore/page_start.h"
#include "platform/file.h"

namespace tollamer {

struct FileLayout {
  bool backup = false;
  bool headMissing = false;  // a backup without its TAPE block at byte 0
  bool tailMissing = false;  // a backup without an end-of-set block at its end
  // A backup: the byte position of its first whole sector.
  uint64_t firstSector = 0;
  // A data file: where its page 0 lies.
  DataFileStart start;
};

FileLayout ReadFileLayout(const platform::ReadOnlyFile& file);

}  // namespace tollamer
