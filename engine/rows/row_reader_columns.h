// Where each column's bytes lie in one FixedVar record (layout in
// record_layout.h). A table's columns are first planned once: SQL 7.0/2000
// files place them by the catalog's leaf offsets, SQL 2005/2008 files lay
// the record out from the column types. Each record is then located
// against the plan. Nothing here turns bytes into text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/record_frame.h"

namespace tollamer {

// How a table column is placed in its records.
enum class ColumnPlace : uint8_t {
  kComputed,  // SQL 2000 computed column: not stored, NULL
  kFixed,     // at a fixed offset in the fixed part
  kBit,       // one bit of a byte shared by up to eight bit columns
  kVariable,  // the k-th variable column
};

struct ColumnPlan {
  const ColumnInfo* column = nullptr;
  ColumnPlace place = ColumnPlace::kFixed;
  uint16_t offset = 0;    // kFixed, kBit: offset from the record start
  uint8_t bit = 0;        // kBit: the bit within its byte
  uint16_t variable = 0;  // kVariable: k, 1-based
  // Placed from the table's recorded physical layout (SQL 2005/2008): the
  // null bit is `nullIndex` (0-based; none: the column has no null bit)
  // rather than the column's position, and a variable column is `variable`
  // whatever the columns before it.
  bool recorded = false;
  std::optional<uint16_t> nullIndex;
};

// SQL 2000: the catalog's xoffset (0 or more: the fixed offset; -k: the
// k-th variable column), bitpos and computed flag (colstat 0x04).
std::vector<ColumnPlan> PlanColumns2000(const TableInfo& table);

// SQL 2005/2008: when the table's physical layout is known (from the rowset
// column rows), every column takes its recorded leaf offset or variable
// number, null bit and bit position; the variable number is written back
// into its xoffset. Otherwise the variable types (xml, varchar, ntext, text,
// nvarchar, image, varbinary, CLR types, sql_variant) are numbered -1, -2,
// ... in column order and that number is written back into each column's
// xoffset; the others take their length in column order from offset 4,
// except bit columns, of which each group of eight shares one byte.
std::vector<ColumnPlan> PlanColumns2005(TableInfo& table);
bool IsVariableType2005(uint8_t xtype);

// Where the value of each planned column lies in one record.
enum class CellKind : uint8_t {
  kNull,       // NULL: null bit set, not in this record, computed, or out of the page
  kNotStored,  // a variable column added after the record was written: empty text
  kFixed,      // `length` bytes at `offset`
  kBit,        // bit `bit` of the byte at `offset`
  kVariable,   // `length` in-row bytes at `offset`; `complex` from bit 15
};

struct CellLocation {
  CellKind kind = CellKind::kNull;
  uint16_t offset = 0;  // from the record start
  uint16_t length = 0;
  uint8_t bit = 0;
  bool complex = false;
};

// A table's plan made ready for locating records: what every record's
// location needs of each column (its null bit, its variable number, its
// fixed place, the rules of its type) worked out once, so that a record
// is located in one pass over its null bitmap and end offsets.
class CellLocator {
 public:
  CellLocator() = default;
  // `catalog_offsets`: a SQL 7.0/2000 plan (a variable value longer than
  // its column counts as empty); otherwise a SQL 2005/2008 one.
  CellLocator(const std::vector<ColumnPlan>& plan, bool catalog_offsets);

  // `record` is the page from the record's offset on; `record_offset` is
  // that offset (the value bounds are page bounds). `cells` is filled, one
  // cell per planned column (a reused list keeps its allocation).
  void Locate(ByteView record, const RecordFrame& frame, size_t record_offset,
              std::vector<CellLocation>& cells) const;

  // What locating needs of one planned column.
  struct Rule {
    ColumnPlace place = ColumnPlace::kFixed;
    bool recorded = false;  // the variable number is the plan's, not the ordinal
    bool binary = false;    // binary: NULL where a shorter record does not reach it
    bool large = false;     // text, ntext, image: in-row values may pass the column's length
    uint8_t bit = 0;
    uint16_t offset = 0;    // kFixed, kBit
    uint16_t length = 0;    // the column's length
    uint16_t variable = 0;  // kVariable: the plan's number
    size_t nullIndex = SIZE_MAX;  // the null bit (SIZE_MAX: never NULL by the bitmap)
    CellLocation stored;  // kFixed, kBit: the cell of a record that stores the value
  };

 private:
  std::vector<Rule> rules_;
  bool useMaxLength_ = false;
};

}  // namespace tollamer
