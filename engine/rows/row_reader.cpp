#include "engine/rows/row_reader.h"

#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_list_reader.h"
#include "engine/rows/page_suspicion.h"
#include "engine/rows/row_reader_pages.h"

namespace tollamer {

std::optional<TableRecordWalk> TableRecordWalk::Prepare(CMdfDatabase& db, VersionSetting version,
                                                        uint32_t table_id) {
  const FormatProfile* profile = ProfileFor(version);
  if (!profile) return std::nullopt;
  return Prepare(db, *profile, table_id);
}

std::optional<TableRecordWalk> TableRecordWalk::Prepare(CMdfDatabase& db,
                                                        const FormatProfile& profile,
                                                        uint32_t table_id) {
  auto it = db.catalog.tables.find(table_id);
  if (it == db.catalog.tables.end()) return std::nullopt;
  return PrepareFor(db, profile, it->second);
}

std::optional<TableRecordWalk> TableRecordWalk::PrepareFor(CMdfDatabase& db,
                                                           VersionSetting version,
                                                           TableInfo& table) {
  const FormatProfile* profile = ProfileFor(version);
  if (!profile) return std::nullopt;
  return PrepareFor(db, *profile, table);
}

std::optional<TableRecordWalk> TableRecordWalk::PrepareFor(CMdfDatabase& db,
                                                           const FormatProfile& profile,
                                                           TableInfo& table) {
  TableRecordWalk walk(db, profile, table);
  const bool catalog_offsets = profile.Records().columnLayout == ColumnLayout::kCatalogOffsets;
  walk.plan_ = catalog_offsets ? PlanColumns2000(table) : PlanColumns2005(table);
  walk.locator_ = CellLocator(walk.plan_, catalog_offsets);
  return walk;
}

const DataPageList* TableRecordWalk::FindPages() {
  return FindDataPageList(*db_, *profile_, *table_);
}

bool TableRecordWalk::StartPage(ByteView page, uint64_t page_number, EngineMessages& messages,
                                PageWalkNotes& notes,
                                std::optional<PageCompression>& compression) const {
  std::optional<PageHeader> header = PageHeader::Decode(page);
  if (!header || !profile_->AcceptDataPage(*header)) return false;
  const PageCheck check = db_->Store().CheckOf(page_number);
  notes.suspect = PageHeaderSuspicion(*db_, *profile_, *table_, *header, page_number, check);
  notes.checkValues = !CheckVouches(*header, check);
  if (profile_->Records().compressedRecords) {
    compression = ReadPageCompression(page, *table_, messages);
    if (!compression) return false;
  }
  return true;
}

TableRecordWalk::PageWalk TableRecordWalk::WalkPage(ByteView page, uint64_t page_number,
                                                    EngineMessages& messages,
                                                    const RecordVisitor& visit,
                                                    uint64_t* slots_lost) const {
  std::vector<PageSlot> slots;
  return WalkPageWith(*this, page, page_number, messages, slots, visit, slots_lost);
}

bool TableRecordWalk::WalkPages(std::span<const uint64_t> pages,
                                const RecordVisitor& visit) const {
  PageListReader reader(db_->Store());
  return reader.ForEach(pages, [&](uint64_t page_number, const ByteView* page) {
    return !page || WalkPage(*page, page_number, db_->Messages(), visit) != PageWalk::kStopped;
  });
}

bool ForEachTableRecord(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                        const RecordVisitor& visit) {
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!walk) return false;
  const DataPageList* pages = walk->FindPages();
  if (!pages) return false;
  // Every grid page in order is every entry of the list in order.
  return walk->WalkPages(*pages, visit);
}

}  // namespace tollamer
