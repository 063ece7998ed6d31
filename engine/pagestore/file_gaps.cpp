#include "engine/pagestore/file_gaps.h"

namespace tollamer {

FileGaps MeasureFileGaps(const PageStore& store) {
  FileGaps gaps;
  gaps.backup = store.Kind() == FileKind::kBackup;
  if (gaps.backup) {
    gaps.backupHeadMissing = store.BackupHeadMissing();
    gaps.backupTailMissing = store.BackupTailMissing();
    gaps.backupStriped = store.Media().Striped();
    gaps.coverage = MeasureBackupCoverage(store);
  } else if (std::optional<uint64_t> declared = store.DeclaredPageCount()) {
    if (*declared > store.PageCount()) {
      gaps.pagesCutOff = *declared - store.PageCount();
      gaps.coverage = MeasureBackupCoverage(store);
    }
  }
  if (!gaps.backup)
    for (const DatabaseFileRecord& f : store.MissingFiles())
      gaps.filesMissing.push_back("file " + std::to_string(f.fileId) + " (" + f.logicalName +
                                  ", " + f.physicalPath + ")");
  return gaps;
}

}  // namespace tollamer
