// What an opened file lacks of its database: a data file shorter than its
// file header says, a backup that lost its head or its tail, allocated
// extents no page image of a backup holds. Rows on the missing pages are
// not found, so an export from such a file is not complete; a data file
// whose cut took only free extents (a converted backup is written up to
// its highest page) loses none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
  // Data files of the database the primary lists that are not open:
  // "file 3 (sales2, sales2.ndf)".
  std::vector<std::string> filesMissing;
  // Allocated extents the file lacks: a backup's, or those a data file's
  // cut took.
  BackupCoverage coverage;

  // True when rows may be lost: a backup lacks a part, or a cut took
  // pages the GAM pages mark allocated (or the GAM pages cannot tell).
  bool LosesRows() const {
    const bool allocation_lost = coverage.extentsMissing > 0 || coverage.intervalsUnread > 0;
    return backup ? backupHeadMissing || backupTailMissing || coverage.extentsMissing > 0
                  : (pagesCutOff > 0 && allocation_lost) || !filesMissing.empty();
  }
};

FileGaps MeasureFileGaps(const PageStore& store);

}  // namespace tollamer
