// The page half of the record walk: finding a table's data page list,
// accepting a data page, reading the compression information of a
// page-compressed page, and picking the records out of the slot array.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/page_header.h"
#include "engine/rows/row_reader.h"

namespace tollamer {

// Asked (OK runs the one-table whole-file scan) when a SQL 2000 table's
// allocation chain is damaged.
inline constexpr const char* kTableIndexDamagedText = "表索引出错，需扫描整个文件，请耐心等待！";
// Shown when a page-compressed page's compression information header has
// unknown bits; the page is skipped.
inline constexpr const char* kCompressedPageErrorText = "压缩页判断错误";

// The table's list, built on first use: SQL 2000 through its IAM chain,
// then (after the question, on OK) by the whole-file scan; SQL 2005/2008
// through its allocation unit only. The table's grid page count is 1 while
// no list exists and follows the list's entry count once it does. Null
// when no list exists.
const DataPageList* FindDataPageList2000(CMdfDatabase& db, TableInfo& table);
const DataPageList* FindDataPageList2005(CMdfDatabase& db, TableInfo& table);

// SQL 2000: a data page. SQL 2005/2008: header version 1, a data page of
// file 1 with the 32 reserved header bytes zero.
bool AcceptDataPage2000(const PageHeader& header);
bool AcceptDataPage2005(const PageHeader& header);

// Slot offsets a reader takes (non-zero; 2000: 96 to 8192; 2005: below 8192).
bool AcceptSlotOffset2000(uint16_t offset);
bool AcceptSlotOffset2005(uint16_t offset);

// The compression of a 2005/2008 data page: empty for a page that is not
// page-compressed; nothing (after the message) when its compression
// information header has bits other than 0x02 and 0x04.
std::optional<PageCompression> ReadPageCompression(ByteView page, const TableInfo& table,
                                                   EngineMessages& messages);

// Visits the records of one repaired, accepted data page. Returns false
// when the visitor stopped.
bool WalkPageRecords(ByteView page, uint64_t page_number, VersionSetting version,
                     const TableInfo& table, const std::vector<ColumnPlan>& plan,
                     const PageCompression* compression, const RecordVisitor& visit);

}  // namespace tollamer
