// The work log lines written while a file is opened:
//
//   (header line)
//   \r\n\r\nRepair process started on <time>\r\n\r\n
//   File selected for repair  :<path>\r\n\r\n
//   Scanning file...\r\n\r\n
//   Total table(s) present  :<n>\r\n
//   <full name> : (<rows> Record)\r\n         one per table, ascending id;
//   ...                                     "Records)" from 2 rows on
//   \r\n\r\nRepair process completed on <time>\r\n\r\n
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/file_gaps.h"
#include "engine/pagestore/page_store.h"
#include "output/work_log.h"

namespace tollamer {

// Waits between the first entries so that a watching user sees them appear;
// empty for no pause.
using LogPause = std::function<void(std::chrono::milliseconds)>;

// The row count and its closing word: "0 Record)", "1 Record)", "15 Records)",
// "? Records)" when the file no longer holds the count.
std::string RecordCountText(std::optional<uint64_t> row_count);

// The entries written when a file is loaded, before its catalog is read.
void AppendRepairStart(WorkLog& log, std::string_view file_path,
                       const std::optional<std::tm>& local_time, const LogPause& pause = {});

// What a file lacks, one text each, in the words the CLI's stderr lines and
// the work log share: "the file is cut short: 208 pages missing[, 40 of them
// allocated | , none of them allocated]", "the backup's head is missing", "the backup's tail is
// missing", "the backup lacks 64 allocated pages[ (in another file of the
// striped backup, or lost)]".
std::vector<std::string> FileGapTexts(const FileGaps& gaps);

// Where the pages came from, when that is not a plain data file read from
// byte 0: a backup (the set read, its stripes and those not given) or a
// data file with bytes before page 0; then what the file lacks. Nothing
// for a plain, whole data file.
//   Backup file: <n> page images[, backup set <s> of the <t> in the file]
//     [, stripe(s) <k>[, <k>...] of <n>][, stripe <j> of <n> missing...]\r\n
//   Page 0 found at byte <offset>: the bytes before it are not read\r\n
//   Incomplete: <gap text>\r\n     one per gap, as FileGapTexts; "Note: " when
//                                 rows are not lost (a cut of free extents)
void AppendFileLayout(WorkLog& log, const PageStore& store);
// ", stripes 1, 3 of 3, stripe 2 of 3 missing"; empty for a backup not striped.
std::string StripesText(const PageStore& store);

// The pages read so far that fail their checksum or torn bits, each named
// (at most 20), then their count by kind. Nothing when none failed.
//   Page <n> fails its checksum\r\n   Page <n> torn\r\n
//   <c> page(s) fail their checksum, <t> torn\r\n
void AppendPageChecks(WorkLog& log, const PageStore& store);

// The table count line and one line per table with its row count.
void AppendCatalogSummary(WorkLog& log, const Catalog& catalog);

// The closing entry of an open.
void AppendRepairCompleted(WorkLog& log, const std::optional<std::tm>& local_time);

}  // namespace tollamer
