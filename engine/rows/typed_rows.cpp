#include "engine/rows/typed_rows.h"

#include <unordered_set>

#include "engine/rows/row_reader.h"
#include "engine/rows/row_reader_pages.h"
#include "engine/rows/typed_decode.h"
#include "engine/rows/typed_pfs.h"

namespace tollamer {

bool ForEachTypedRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                     const TypedRowVisitor& visit, TypedTableStats& stats,
                     const PageProgress& progress) {
  stats = {};
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!walk) return false;
  const DataPageList* list = walk->FindPages();
  if (!list) return false;
  stats.listed = true;
  stats.pages = list->size();
  // The list is copied: the visitor may not keep the catalog's list alive.
  const DataPageList pages = *list;
  const bool is2005 = version == VersionSetting::kSql2005;
  bool stopped = false;
  RecordVisitor on_record = [&](const TableRecord& record) {
    std::optional<std::vector<TypedValue>> values = RecordValues(db, *walk, record);
    if (!values) {
      ++stats.rowsRejected;
      return true;
    }
    ++stats.rows;
    if (!visit(*values)) {
      stopped = true;
      return false;
    }
    return true;
  };
  uint64_t done = 0;
  std::unordered_set<uint64_t> seen;
  PfsAllocation allocation(db.Store());
  for (uint64_t page_number : pages) {
    ++done;
    // A page named twice (an allocation page and a single-page slot both
    // naming it) would give its rows twice.
    if (!seen.insert(page_number).second) {
      ++stats.pagesRepeated;
      if (progress) progress(done, pages.size());
      continue;
    }
    // A page of an allocated extent that is itself free keeps stale rows.
    if (!allocation.IsAllocated(page_number)) {
      ++stats.pagesUnallocated;
      if (progress) progress(done, pages.size());
      continue;
    }
    std::optional<Page> page = db.Store().ReadPage(page_number);
    std::optional<PageHeader> header;
    if (page) header = PageHeader::Decode(page->view());
    const bool accepted =
        header && (is2005 ? AcceptDataPage2005(*header) : AcceptDataPage2000(*header));
    std::optional<PageCompression> compression;
    if (accepted && is2005) compression = ReadPageCompression(page->view(), walk->Table(), db.Messages());
    if (!accepted || (is2005 && !compression)) {
      ++stats.pagesSkipped;
      if (progress) progress(done, pages.size());
      continue;
    }
    WalkPageRecords(page->view(), page_number, version, walk->Table(), walk->Plan(),
                    compression ? &*compression : nullptr, on_record);
    if (progress) progress(done, pages.size());
    if (stopped) return false;
  }
  return true;
}

}  // namespace tollamer
