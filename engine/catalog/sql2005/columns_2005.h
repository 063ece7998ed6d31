// The columns of SQL 2005/2008 tables, from syscolpars.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/sql2005/lookup_index_2005.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

// SQL 2005/2008 type ids that carry a scale as their size text.
inline constexpr uint16_t kTypeTime = 41;
inline constexpr uint16_t kTypeDatetime2 = 42;
inline constexpr uint16_t kTypeDatetimeOffset = 43;

// "(n)" with n the length (halved for nvarchar and nchar) or "max";
// "(prec,scale)" for decimal and numeric; "(scale)" for time, datetime2 and
// datetimeoffset. Kept only when `utype` is one of those types or a length
// type, so a column of a user-defined type gets an empty size text.
std::string ColumnSizeText2005(uint8_t xtype, uint16_t utype, uint16_t length, uint8_t prec,
                               uint8_t scale);

using ColumnMap = std::map<uint16_t, ColumnInfo>;

// Every table's columns, built in one pass over syscolpars: rows whose low
// status byte has both 0x10 and 0x80 set are left out; the first row for a
// (table, column id) stays.
class ColumnIndex2005 {
 public:
  // `wanted`: the object ids whose columns are kept (all when null).
  static ColumnIndex2005 Build(const PageStore& store, const SystemPageList& syscolpars,
                               const LookupIndex2005& lookups,
                               const std::unordered_set<uint32_t>* wanted = nullptr);

  // Adds the table's columns to `columns` (an id already there stays).
  void ReadColumns2005(uint32_t object_id, ColumnMap& columns) const;
  // The same, moving the columns out of the index (for a builder that asks
  // once per table).
  void TakeColumns2005(uint32_t object_id, ColumnMap& columns);

 private:
  std::unordered_map<uint32_t, ColumnMap> columns_;
};

}  // namespace tollamer::sql2005
