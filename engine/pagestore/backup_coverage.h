// How much of its database a backup file holds, or a data file cut short.
//
// A full backup carries every extent the database has allocated. The GAM
// pages say which those are: page 2 and every 511232 pages after it, each
// mapping the 63904 extents of its interval with the same layout as an IAM
// page's bitmap (slot 1, after a 4-byte record header), except that a set
// bit means the extent is free. An allocated extent of which the backup
// holds no page went to another file of a striped backup, or was lost.
#pragma once

#include <cstdint>

#include "engine/pagestore/page_store.h"

namespace tollamer {

struct BackupCoverage {
  bool allocationKnown = false;  // at least one GAM page was read
  uint64_t extentsMissing = 0;   // allocated, and no page of it held
  uint64_t intervalsUnread = 0;  // GAM pages not held or not readable as one
  uint64_t PagesMissing() const { return extentsMissing * 8; }
};

// The extents below the highest page the file holds, or below the file
// size page 0's file header records when that is more, are judged.
BackupCoverage MeasureBackupCoverage(const PageStore& store);

}  // namespace tollamer
