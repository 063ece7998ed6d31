// A table's deleted rows: ghost records and records in the free space of
// its live data pages, the records of its pages that allocation no longer
// claims, and the tables whose catalog rows are gone (dropped tables) with
// columns inferred from their records. Each row comes once: a leftover
// whose bytes equal a live row of the table (a row the server copied
// elsewhere, as a page split does) or a leftover already given is left out,
// and so is an older image of a live row that an update left behind.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/leftover_pages.h"
#include "engine/rows/page_leftovers.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

struct DeletedRow {
  LeftoverSource source = LeftoverSource::kGhost;
  uint64_t page = 0;
  std::optional<uint16_t> slot;  // records the slot array still names
  uint16_t offset = 0;           // the record's offset in its page
  std::vector<TypedValue> values;  // one per table column, ascending column id
};

struct DeletedRowStats {
  uint64_t rows = 0;
  uint64_t rejected = 0;   // candidate runs that failed a check
  uint64_t repeated = 0;   // copies of a live row or of a row already given
  uint64_t olderImages = 0;  // older images of a live row (same key) on live pages
  uint64_t pages = 0;      // pages searched
};

// Returns false to stop.
using DeletedRowVisitor = std::function<bool(const DeletedRow&)>;

// The deleted rows of a catalog table. `leftovers` from FindLeftoverPages.
// False when the table is unknown or the visitor stopped.
bool ForEachDeletedRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                       const LeftoverPages& leftovers, const DeletedRowVisitor& visit,
                       DeletedRowStats& stats);

// A table no catalog row names, from the pages of one lost owner.
struct DroppedTable {
  uint64_t owner = 0;  // object id (2000) or allocation unit id (2005+)
  TableInfo table;     // placeholder columns read off the records, or given
  std::vector<uint64_t> pages;
};

// One per lost owner whose records have a readable shape. The first of
// `described` (tables from CREATE TABLE statements, create_table_text.h)
// whose record shape - the fixed part's end, the column count, no more
// variable columns than it has - is the records' gives the columns and the
// name; otherwise the table is named "dbo.dropped_<owner>", with columns
// inferred from the records.
inline constexpr char kDroppedTableNamePrefix[] = "dbo.dropped_";
std::vector<DroppedTable> FindDroppedTables(const CMdfDatabase& db,
                                            const LeftoverPages& leftovers,
                                            const std::vector<TableInfo>& described = {});

bool ForEachDroppedRow(CMdfDatabase& db, VersionSetting version, DroppedTable& dropped,
                       const DeletedRowVisitor& visit, DeletedRowStats& stats);

}  // namespace tollamer
