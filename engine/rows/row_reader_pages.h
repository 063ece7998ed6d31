// The page half of the record walk: finding a table's data page list,
// accepting a data page, reading the compression information of a
// page-compressed page, and picking the records out of the slot array.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/catalog/format_profile.h"
#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/page_header.h"
#include "engine/rows/row_reader.h"

namespace tollamer {


// The table's list, built on first use through the profile's allocation
// route; where the profile offers it and the route is damaged, the
// whole-file scan runs after the question (on OK). Null when no list
// exists.
const DataPageList* FindDataPageList(CMdfDatabase& db, const FormatProfile& profile,
                                     const TableInfo& table);

// The compression of a 2005/2008 data page: empty for a page that is not
// page-compressed; nothing (after the message) when its compression
// information header has bits other than 0x02 and 0x04.
std::optional<PageCompression> ReadPageCompression(ByteView page, const TableInfo& table,
                                                   EngineMessages& messages);

// Visits the records of one repaired, accepted data page. Returns false
// when the visitor stopped.
bool WalkPageRecords(ByteView page, uint64_t page_number, const FormatProfile& profile,
                     const TableInfo& table, const std::vector<ColumnPlan>& plan,
                     const PageCompression* compression, const RecordVisitor& visit);

}  // namespace tollamer
