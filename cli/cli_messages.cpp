#include "cli/cli_messages.h"

#include <array>
#include <utility>

#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/pagestore/page_store.h"
#include "engine/rows/compressed_record.h"
#include "engine/rows/row_reader_pages.h"
#include "output/schema_export.h"
#include "output/work_log.h"
#include "tools/allocation_map.h"
#include "tools/backup_conversion.h"
#include "tools/file_detection.h"
#include "tools/fragment_search.h"

namespace tollamer::cli {

namespace {

using namespace tools;
using namespace sql2005;

constexpr std::array<std::pair<std::string_view, std::string_view>, 17> kEnglish{{
    {kSystemIndexDamagedMessage,
     "the system table indexes are damaged: scanning the whole file, this takes a while"},
    {kPageOwnerConflictMessage,
     "SQL 2005 page owners (m_objId) disagree: the whole-file scan of all tables is not available"},
    {kTableIndexDamagedText,
     "the table's index is damaged: scanning the whole file, this takes a while"},
    {kCompressedPageErrorText, "a compressed page could not be read"},
    {kLongRegionMessage, "the long data region of a compressed record could not be located"},
    {kBackupFormatMessage, "backup format not recognised: no page data at any known offset"},
    {kOpenFileErrorMessage, "cannot open the file"},
    {kBackupOpenFailedMessage, "cannot open the backup file"},
    {kDataFileCreateFailedMessage, "cannot create the data file"},
    {kDataFileWriteFailedMessage, "cannot write the data file"},
    {kOutputIsInputMessage, "the output is the input file: refused"},
    {kNoPagesInBackupMessage, "no SQL Server page found in the backup"},
    {kClusterZeroMessage, "the cluster size cannot be 0"},
    {kBitmapErrorMessage, "the NTFS volume bitmap cannot be read"},
    {kFatErrorMessage, "the file allocation table cannot be read"},
    {kPathMissingText, "no such folder"},
    {kLogCreateErrorText, "cannot create the log report"},
}};

}  // namespace

std::string_view EnglishText(std::string_view engine_text) {
  for (const auto& [engine, english] : kEnglish)
    if (engine == engine_text) return english;
  return engine_text;
}

}  // namespace tollamer::cli
