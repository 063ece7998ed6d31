#include "cli/cli_messages.h"

#include <array>
#include <utility>

#include "tools/allocation_map.h"
#include "tools/backup_conversion.h"
#include "tools/file_detection.h"
#include "tools/fragment_search.h"

namespace tollamer::cli {

namespace {

using namespace tools;

constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kEnglish{{
    {kOpenFileErrorMessage, "cannot open the file"},
    {kBackupOpenFailedMessage, "cannot open the backup file"},
    {kDataFileCreateFailedMessage, "cannot create the data file"},
    {kDataFileWriteFailedMessage, "cannot write the data file"},
    {kOutputIsInputMessage, "the output is the input file: refused"},
    {kNoPagesInBackupMessage, "no SQL Server page found in the backup"},
    {kClusterZeroMessage, "the cluster size cannot be 0"},
    {kBitmapErrorMessage, "the NTFS volume bitmap cannot be read"},
    {kFatErrorMessage, "the file allocation table cannot be read"},
}};

}  // namespace

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

std::string_view EnglishText(std::string_view engine_text) {
  for (const auto& [engine, english] : kEnglish)
    if (engine == engine_text) return english;
  return engine_text;
}

}  // namespace tollamer::cli
