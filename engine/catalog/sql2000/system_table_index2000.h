// The answers to every catalog lookup, gathered in one pass over each system
// table's page list, so that building a catalog costs time linear in the
// system pages rather than tables x system pages. The first matching row
// wins, exactly as when each lookup walks the pages itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "engine/catalog/sql2000/catalog_lookups2000.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2000 {

class SystemTableIndex2000 final : public CatalogLookups2000 {
 public:
  static SystemTableIndex2000 Build(const PageStore& store, const SystemPages2000& pages);

  std::optional<uint64_t> RowCount(uint32_t id) const override;
  std::string OwnerName(uint16_t uid) const override;
  std::string TypeName(uint8_t xtype, uint16_t xusertype) const override;
  std::map<uint16_t, ColumnInfo> Columns(uint32_t id) const override;
  std::string DefinitionText(uint32_t id) const override;

 private:
  std::map<uint32_t, uint64_t> rowCounts_;
  std::map<uint16_t, std::string> owners_;
  std::map<std::pair<uint8_t, uint16_t>, std::string> typeNames_;
  std::map<uint32_t, std::map<uint16_t, ColumnInfo>> columns_;
  std::map<uint32_t, std::string> texts_;
};

}  // namespace tollamer::sql2000
