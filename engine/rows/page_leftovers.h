// The records a data page still holds beyond its live rows.
//
// A DELETE on a table with a clustered index first marks the record a
// ghost (record type 6 in status byte A, 7 when kept for row versioning;
// the page header counts ghosts);
// ghost cleanup later removes its slot. A DELETE on a heap removes the slot
// at once. Either way the record's bytes stay where they were until the
// space is reused, and an update that moves a row leaves its older image
// too. So the page's free space - the bytes between and after the records
// the slot array names, up to the slot array - holds whole records of the
// table. A run there is read as a record only when its header fits the
// table (status bits of a data record, the fixed part's end F and column
// count N the table's records have, variable end offsets that rise and end
// inside the free run) and every column holds a value its type allows
// (leftover_checks.h). Runs that start like a record (status bits and F)
// and fail a later check are counted as rejected.
//
// A page whose allocation was taken back (TRUNCATE, DROP, a heap page
// emptied) keeps its slot array too: all its records are leftovers.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "engine/pagestore/byte_view.h"
#include "engine/catalog/format_profile.h"
#include "engine/rows/row_reader_columns.h"

namespace tollamer {

// Where a deleted row was found.
enum class LeftoverSource : uint8_t {
  kGhost,            // a ghost record still in the slot array
  kFreeSpace,        // a record in a live page's free space
  kUnallocatedPage,  // a page of the table that allocation no longer claims
  kDroppedTable,     // a page of an allocation unit or object no catalog row names
};
const char* LeftoverSourceName(LeftoverSource source);

// What the table's records look like.
struct LeftoverShape {
  std::set<uint16_t> fixedEnds;     // F values a record may have
  std::set<uint16_t> columnCounts;  // N values a record may have
  uint16_t maxVariables = 0;        // V at most (a forwarded record: one more)
};

// What the column plan says the table's records look like: the fixed
// part's end, the stored column count (and one more, a uniquifier), and at
// most one variable column more than planned.
LeftoverShape PlannedShape(const TableInfo& table, const std::vector<ColumnPlan>& plan);

// One record found. `slot` is set for records the slot array names.
struct LeftoverRecord {
  uint16_t offset = 0;
  uint16_t length = 0;
  std::optional<uint16_t> slot;
  RecordFrame frame;
  std::vector<CellLocation> cells;
};

struct PageLeftovers {
  std::vector<LeftoverRecord> records;
  uint64_t rejected = 0;  // candidate runs and slotted records that failed a check
};

// The length of the FixedVar record at the start of `record` (a forwarding
// stub: 9 bytes): the end of its last variable column, or of its null
// bitmap when it has none, plus the 14-byte versioning tag when status bit
// 0x40 says it has one. Nothing when its fields do not fit.
std::optional<uint16_t> RecordLength(ByteView record);

// `page` is a repaired data page of a file whose records have `traits`.
// `whole_page` takes every record the slot array names (a page no longer
// allocated); otherwise only ghosts. Free space is searched in both cases.
// Compressed records are not read.
PageLeftovers FindPageLeftovers(ByteView page, const RecordTraits& traits,
                                const std::vector<ColumnPlan>& plan, const LeftoverShape& shape,
                                bool whole_page);

}  // namespace tollamer
