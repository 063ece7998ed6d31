// What an opened file lacks of its database: a data file shorter than its
// file header says, a backup that lost its head or its tail, allocated
// extents no page image of a backup holds. Rows on the missing pages are
// not found, so an export from such a file is never complete.
#pragma once

#include <cstdint>

#include "engine/pagestore/backup_coverage.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

struct FileGaps {
  bool backup = false;
  // A data file: the pages its file header counts past the file's end.
  uint64_t pagesCutOff = 0;
  bool backupHeadMissing = false;
  bool backupTailMissing = false;
  bool backupStriped = false;  // the file is one stripe of several
  // Allocated extents the file lacks: a backup's, or those a data file's
  // cut took.
  BackupCoverage coverage;

  bool Any() const {
    return pagesCutOff > 0 || backupHeadMissing || backupTailMissing ||
           (backup && coverage.extentsMissing > 0);
  }
};

FileGaps MeasureFileGaps(const PageStore& store);

}  // namespace tollamer
