// The lookups the SQL 7.0/2000 catalog build asks of the system tables.
// Each answers with the first matching row, taking the system table's pages
// in list order and the rows of a page in slot order.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "engine/catalog/catalog_model.h"

namespace tollamer::sql2000 {

class CatalogLookups2000 {
 public:
  virtual ~CatalogLookups2000() = default;
  // rowcnt of the first sysindexes row of `id` with indid 0 or 1; 0 if none.
  virtual std::optional<uint64_t> RowCount(uint32_t id) const = 0;
  // Name of the first row of the first sysusers page with this uid; "" if none.
  virtual std::string OwnerName(uint16_t uid) const = 0;
  // Name of the first systypes row with this xtype byte and xusertype; "" if none.
  virtual std::string TypeName(uint8_t xtype, uint16_t xusertype) const = 0;
  // The columns of `id` by colid; a second row with the same colid is dropped.
  virtual std::map<uint16_t, ColumnInfo> Columns(uint32_t id) const = 0;
  // The syscomments pieces of `id` appended in page and slot order.
  virtual std::string DefinitionText(uint32_t id) const = 0;
};

}  // namespace tollamer::sql2000
