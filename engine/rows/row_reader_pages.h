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

// What the walk of one page learns beyond its records.
struct PageWalkNotes {
  // In: why the page's header makes its rows suspect (page_suspicion.h).
  // Out: also damage found in its slot array or records.
  const char* suspect = nullptr;
  bool checkValues = true;  // in: check each row's values against their types
  uint64_t slotsLost = 0;   // out: slots whose record could not be decoded
};

// Visits the records of one repaired, accepted data page, every slot
// checked first: a slot offset outside the records' room or a record
// whose frame cannot be read marks every row of the page suspect
// (TableRecord::suspect) and loses that slot, a record running past the
// page's free data marks them suspect; a row whose values its types
// cannot hold is suspect on its own. Returns false when the visitor stopped.
bool WalkPageRecords(ByteView page, uint64_t page_number, const FormatProfile& profile,
                     const TableInfo& table, const std::vector<ColumnPlan>& plan,
                     const CellLocator& locator, const PageCompression* compression,
                     PageWalkNotes& notes, const RecordVisitor& visit);

}  // namespace tollamer
