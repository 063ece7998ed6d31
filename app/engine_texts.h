// The desktop program's texts for what the engine says: its notices and
// questions, and the outcome of each table of an export or import, in the
// interface's own Chinese (the engine's reasons are constants, never shown
// as they are).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "output/data_export.h"
#include "output/work_log.h"

namespace tollamer::app {

const char* NoticeText(EngineNotice notice);
const char* QuestionText(EngineQuestion question);

// Why a table was skipped or failed ("未找到数据页", "列定义已丢失", ...); a
// target's own message (SQLite, PostgreSQL) follows "失败：".
std::string TableReasonText(const std::string& error);
// "dbo.sales: 恢复 3 行，系统表记录 8 行" and the pages that could not be
// read; empty for a table that came out whole.
std::string TableOutcomeText(const TableDataResult& result);
// One work log entry per table that is not complete, then the summary.
void AppendTableOutcomes(WorkLog& log, const std::vector<TableDataResult>& results);

// The grid's word for a table whose rows cannot be shown: the catalog
// counts `catalog_rows` rows (nothing: the count is unknown), and the table
// has `data_pages` data pages known (0: no list was found).
std::string EmptyGridText(bool columns_known, std::optional<uint64_t> catalog_rows,
                          size_t data_pages);

}  // namespace tollamer::app
