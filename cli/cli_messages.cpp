#include "cli/cli_messages.h"

namespace tollamer::cli {

std::string_view NoticeText(EngineNotice notice) {
  switch (notice) {
    case EngineNotice::kBackupFormatUnknown:
      return "backup format not recognised: no page data at any known offset";
    case EngineNotice::kSystemIndexDamaged:
      return "the system table indexes are damaged: scanning the whole file, this takes a while";
    case EngineNotice::kPageOwnerConflict:
      return "SQL 2005 page owners (m_objId) disagree: the whole-file scan of all tables is not "
             "available";
    case EngineNotice::kCompressedPageUnreadable: return "a compressed page could not be read";
    case EngineNotice::kLongRegionMissing:
      return "the long data region of a compressed record could not be located";
    case EngineNotice::kFileOpenFailed: return "cannot open the file";
    case EngineNotice::kBackupOpenFailed: return "cannot open the backup file";
    case EngineNotice::kOutputIsInput: return "the output is the input file: refused";
    case EngineNotice::kDataFileCreateFailed: return "cannot create the data file";
    case EngineNotice::kDataFileWriteFailed: return "cannot write the data file";
    case EngineNotice::kNoPagesInBackup: return "no SQL Server page found in the backup";
    case EngineNotice::kClusterSizeZero: return "the cluster size cannot be 0";
    case EngineNotice::kVolumeBitmapUnreadable: return "the NTFS volume bitmap cannot be read";
    case EngineNotice::kFatUnreadable: return "the file allocation table cannot be read";
    case EngineNotice::kFolderMissing: return "the output folder does not exist";
  }
  return "engine notice";
}

std::string_view QuestionText(EngineQuestion question) {
  switch (question) {
    case EngineQuestion::kScanFileForTable:
      return "the table's index is damaged: scanning the whole file, this takes a while";
  }
  return "engine question";
}


}  // namespace tollamer::cli
