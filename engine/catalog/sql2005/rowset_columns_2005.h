// The physical record layout of SQL 2005/2008 user tables, from the rowset
// column rows of each table's in-row rowset (layouts in
// rowset_columns_layout_2005.h).
//
// A table clustered on a non-unique key keeps a hidden 4-byte uniquifier
// as a variable column and may store its key columns first, so the column
// ids alone do not tell where a value lies. SQL 2008 files record each
// column's place in sysrscols; SQL 2005 files in syshobtcolumns, reached
// from the column id through sysrowsetcolumns.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <optional>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

// The declared type of a rowset column beyond its type id: sysrscols packs
// it in ti (bits 8..23 the length of a length type, 0 for max; for
// decimal and numeric bits 8..15 the precision and 16..23 the scale; for
// time, datetime2 and datetimeoffset bits 8..15 the scale); syshobtcolumns
// keeps length, precision and scale in fields of their own.
struct ColumnType2005 {
  uint16_t length = 0;  // as ti or the row gives it; 0 when it does not
  uint8_t prec = 0;
  uint8_t scale = 0;
};

struct RscolsRow {
  uint64_t rowsetId = 0;
  uint32_t rscolid = 0;
  PhysicalColumn2005 column;
  ColumnType2005 type;
};

struct RowsetColumnRow {
  uint64_t rowsetId = 0;
  uint32_t rscolid = 0;
  uint32_t hbcolid = 0;
};

struct HobtColumnRow {
  uint64_t hobtId = 0;
  uint32_t hbcolid = 0;
  PhysicalColumn2005 column;  // rscolid left 0: the mapping row gives it
  ColumnType2005 type;
};

struct DataRowsetRow {
  uint64_t rowsetId = 0;
  uint32_t idMajor = 0;
  uint32_t idMinor = 0;
};

// Each takes the whole page and the slot offset; nothing when the record is
// not a primary record of the table's own fixed-part size or its fields
// lie past the page.
std::optional<RscolsRow> DecodeRscolsRow(ByteView page, uint16_t offset);
std::optional<RowsetColumnRow> DecodeRowsetColumnRow(ByteView page, uint16_t offset);
std::optional<HobtColumnRow> DecodeHobtColumnRow(ByteView page, uint16_t offset);
std::optional<DataRowsetRow> DecodeDataRowsetRow(ByteView page, uint16_t offset);

// The rows of every rowset, read once from the page lists.
class RowsetColumnIndex2005 {
 public:
  static RowsetColumnIndex2005 Build(const PageStore& store, const SystemPages2005& lists);

  // The in-row rowset of a table: the first sysrowsets row with its object
  // id and index id 0 or 1.
  std::optional<uint64_t> DataRowsetOf(uint32_t table_id) const;

  // The rowset's columns by rowset column id. Nothing when the rows do not
  // say (no rows, or two different rows for one column).
  std::optional<std::map<uint32_t, PhysicalColumn2005>> ColumnsOf(uint64_t rowset_id) const;
  // The declared types of the rowset's columns, by rowset column id.
  std::map<uint32_t, ColumnType2005> TypesOf(uint64_t rowset_id) const;

 private:
  struct Columns {
    std::map<uint32_t, PhysicalColumn2005> byRscolid;
    std::map<uint32_t, ColumnType2005> types;
    bool conflicting = false;
  };
  static void Add(Columns& columns, uint32_t rscolid, const PhysicalColumn2005& column,
                  const ColumnType2005& type);

  std::map<uint32_t, uint64_t> dataRowsets_;       // table id -> rowset id
  std::map<uint64_t, Columns> rscols_;             // 2008
  std::map<uint64_t, std::map<uint32_t, uint32_t>> rowsetToHobt_;  // 2005: rscolid -> hbcolid
  bool rowsetToHobtConflicting_ = false;
  std::map<uint64_t, Columns> hobtColumns_;        // 2005, by hbcolid
};

// The layout of `table` from the rows of its rowset, or a layout with
// known = false when a row is missing, points outside the record or
// contradicts the table's columns.
PhysicalLayout2005 CheckedLayout2005(const TableInfo& table, uint64_t rowset_id,
                                     const std::map<uint32_t, PhysicalColumn2005>& rows);

// Columns for a table whose syscolpars rows are lost, made from its
// rowset's rows: one per rowset column with a column id, named col1,
// col2, ... by that id, with the type, length, precision and scale the
// rows give and the type name `type_name` gives for the type id.
std::map<uint16_t, ColumnInfo> PlaceholderColumns2005(
    const std::map<uint32_t, PhysicalColumn2005>& rows,
    const std::map<uint32_t, ColumnType2005>& types,
    const std::function<std::string(uint16_t)>& type_name);

// Fills physicalLayout2005 of every table of `catalog`; a table without
// columns first gets placeholder columns from its rowset's rows, and a
// table whose rowset has columns before its first or after its last known
// column (its other syscolpars rows lost) gets placeholders for those.
void ReadPhysicalLayouts2005(const PageStore& store, const SystemPages2005& lists,
                             Catalog& catalog,
                             const std::function<std::string(uint16_t)>& type_name = {});

}  // namespace tollamer::sql2005
