#include "engine/rows/row_reader.h"

#include "engine/pagestore/page_list_reader.h"
#include "engine/rows/row_reader_pages.h"

namespace tollamer {

std::optional<TableRecordWalk> TableRecordWalk::Prepare(CMdfDatabase& db, VersionSetting version,
                                                        uint32_t table_id) {
  if (version == VersionSetting::kNone) return std::nullopt;
  auto it = db.catalog.tables.find(table_id);
  if (it == db.catalog.tables.end()) return std::nullopt;
  return PrepareFor(db, version, it->second);
}

std::optional<TableRecordWalk> TableRecordWalk::PrepareFor(CMdfDatabase& db,
                                                           VersionSetting version,
                                                           TableInfo& table) {
  if (version == VersionSetting::kNone) return std::nullopt;
  TableRecordWalk walk(db, version, table);
  walk.plan_ = version == VersionSetting::kSql2000 ? PlanColumns2000(table)
                                                   : PlanColumns2005(table);
  return walk;
}

const DataPageList* TableRecordWalk::FindPages() {
  return version_ == VersionSetting::kSql2000 ? FindDataPageList2000(*db_, *table_)
                                              : FindDataPageList2005(*db_, *table_);
}

TableRecordWalk::PageWalk TableRecordWalk::WalkPage(ByteView page, uint64_t page_number,
                                                    EngineMessages& messages,
                                                    const RecordVisitor& visit) const {
  const bool is2005 = version_ == VersionSetting::kSql2005;
  std::optional<PageHeader> header = PageHeader::Decode(page);
  if (!header) return PageWalk::kSkipped;
  if (is2005 ? !AcceptDataPage2005(*header) : !AcceptDataPage2000(*header))
    return PageWalk::kSkipped;
  std::optional<PageCompression> compression;
  if (is2005) {
    compression = ReadPageCompression(page, *table_, messages);
    if (!compression) return PageWalk::kSkipped;
  }
  return WalkPageRecords(page, page_number, version_, *table_, plan_,
                         compression ? &*compression : nullptr, visit)
             ? PageWalk::kWalked
             : PageWalk::kStopped;
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
