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

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"
#include "output/work_log.h"

namespace tollamer {

// Waits between the first entries so that a watching user sees them appear;
// empty for no pause.
using LogPause = std::function<void(std::chrono::milliseconds)>;

// The row count and its closing word: "0 Record)", "1 Record)", "15 Records)".
std::string RecordCountText(uint64_t row_count);

// The entries written when a file is loaded, before its catalog is read.
void AppendRepairStart(WorkLog& log, std::string_view file_path,
                       const std::optional<std::tm>& local_time, const LogPause& pause = {});

// Where the pages came from, when that is not a plain data file read from
// byte 0: a backup (the set read, its stripes, those not given, and the
// allocated pages it lacks) or a data file with bytes before page 0.
// Nothing for a plain data file.
//   Backup file: <n> page images[, backup set <s> of the <t> in the file]
//     [, stripe(s) <k>[, <k>...] of <n>][, stripe <j> of <n> missing...]
//     [, <m> allocated pages missing]\r\n
//   Page 0 found at byte <offset>: the bytes before it are not read\r\n
void AppendFileLayout(WorkLog& log, const PageStore& store);
// ", stripes 1, 3 of 3, stripe 2 of 3 missing"; empty for a backup not striped.
std::string StripesText(const PageStore& store);

// The table count line and one line per table with its row count.
void AppendCatalogSummary(WorkLog& log, const Catalog& catalog);

// The closing entry of an open.
void AppendRepairCompleted(WorkLog& log, const std::optional<std::tm>& local_time);

}  // namespace tollamer
