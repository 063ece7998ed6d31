#include "engine/catalog/sql2005/format_profile_2005.h"

#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/sql2005/table_pages_2005.h"
#include "engine/catalog/sql2005/unit_pages_2005.h"
#include "engine/pagestore/record_layout.h"

namespace tollamer::sql2005 {

namespace {

class Profile2005 final : public FormatProfile {
 public:
  VersionSetting Setting() const override { return VersionSetting::kSql2005; }
  const RecordTraits& Records() const override {
    static constexpr RecordTraits kTraits{ColumnLayout::kFromTypes, true, true, true,
                                          kTextTree2005, false};
    return kTraits;
  }
  CatalogOpenResult BuildCatalog(CMdfDatabase& db) const override {
    return {true, OpenCatalog2005(db).usedFallback};
  }
  bool LocateTablePages(CMdfDatabase& db, uint32_t object_id) const override {
    return LocateTablePages2005(db, object_id);
  }
  // The allocation unit is the only route: pages that m_objId alone
  // attributes come from the all-tables scan.
  bool TableScanOffered() const override { return false; }
  void ScanFileForTable(CMdfDatabase& db, uint32_t object_id) const override {
    ScanFileForTable2005(db, object_id, false);
  }
  void ScanFileForAllTables(CMdfDatabase& db) const override { ScanFileForTable2005(db, 0, true); }
  // The catalog build locates every table's pages already.
  void LocateAllTablePages(CMdfDatabase&) const override {}
  // Header version 1, a data page of a file of the database (file id not
  // 0) with the 32 reserved header bytes zero.
  bool AcceptDataPage(const PageHeader& header) const override {
    return header.headerVersion == page_layout::kValidHeaderVersion &&
           header.HasType(page_layout::PageType::kData) && header.fileId != 0 &&
           header.reservedZero;
  }
  bool AcceptSlotOffset(uint16_t offset) const override {
    return offset != 0 && offset < record_layout::kSlotOffsetLimit2005;
  }
  // m_objId and m_indexId are the two halves of the allocation unit id;
  // the page owner map leads from m_objId to the table. A unit below 2^56
  // whose m_objId is below 100 is a system base table's (pages a SQL 2000
  // server wrote carry m_indexId 0 and the table's object id, 100 or more
  // for a user table's).
  DataPageOwner OwnerOfDataPage(const CMdfDatabase& db, const PageHeader& header) const override {
    const uint64_t unit = UnitIdOfHeader(header);
    if (unit < kFirstUserUnitId && header.objId < kFirstUserObjectId) return {.systemTable = true};
    auto owner = db.pageOwnerMap.find(header.objId);
    if (owner != db.pageOwnerMap.end() && db.catalog.tables.contains(owner->second))
      return {owner->second, 0};
    if (unit >= kFirstUserUnitId) return {0, unit};
    return {};
  }
  // ceil(entries / 8).
  uint32_t GridPageCount(size_t entries) const override {
    return static_cast<uint32_t>((entries + kDataPagesPerGridPage - 1) / kDataPagesPerGridPage);
  }
};

}  // namespace

const FormatProfile& FormatProfile2005() {
  static const Profile2005 kProfile;
  return kProfile;
}

}  // namespace tollamer::sql2005
