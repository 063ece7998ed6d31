#include "engine/catalog/sql2000/format_profile2000.h"

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2000/table_pages2000.h"
#include "engine/pagestore/record_layout.h"

namespace tollamer {

namespace {

// SQL 7.0/2000 system tables have object ids below 100.
constexpr uint32_t kFirstUserObject = 100;

class Profile2000 final : public FormatProfile {
 public:
  VersionSetting Setting() const override { return VersionSetting::kSql2000; }
  const RecordTraits& Records() const override {
    static constexpr RecordTraits kTraits{ColumnLayout::kCatalogOffsets, false, false, false,
                                          kTextTree2000, true};
    return kTraits;
  }
  CatalogOpenResult BuildCatalog(CMdfDatabase& db) const override {
    return {true, OpenCatalog2000(db).usedFallback};
  }
  bool LocateTablePages(CMdfDatabase& db, uint32_t object_id) const override {
    return LocateTablePages2000(db, object_id);
  }
  bool TableScanOffered() const override { return true; }
  void ScanFileForTable(CMdfDatabase& db, uint32_t object_id) const override {
    ScanFileForTable2000(db, object_id, false);
  }
  void ScanFileForAllTables(CMdfDatabase& db) const override { ScanFileForTable2000(db, 0, true); }
  void LocateAllTablePages(CMdfDatabase& db) const override {
    for (const auto& [id, table] : db.catalog.tables) LocateTablePages2000(db, id);
  }
  bool AcceptDataPage(const PageHeader& header) const override {
    return header.HasType(page_layout::PageType::kData);
  }
  // Records start after the header and lie within the page.
  bool AcceptSlotOffset(uint16_t offset) const override {
    return offset != 0 && offset >= record_layout::kMinSlotOffset2000 &&
           offset <= record_layout::kMaxSlotOffset2000;
  }
  // m_objId is the table's object id.
  DataPageOwner OwnerOfDataPage(const CMdfDatabase& db, const PageHeader& header) const override {
    if (header.objId < kFirstUserObject) return {.systemTable = true};
    if (db.catalog.tables.contains(header.objId)) return {header.objId, 0};
    return {0, header.objId};
  }
  // floor(entries / 8) + 1, so 8 entries give 2 grid pages, the second empty.
  uint32_t GridPageCount(size_t entries) const override {
    return static_cast<uint32_t>(entries / kDataPagesPerGridPage + 1);
  }
};

}  // namespace

const FormatProfile& FormatProfile2000() {
  static const Profile2000 kProfile;
  return kProfile;
}

}  // namespace tollamer
