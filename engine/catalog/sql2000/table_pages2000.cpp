#include "engine/catalog/sql2000/table_pages2000.h"

#include <map>
#include <set>

#include "engine/catalog/sql2000/system_page_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/iam_layout.h"

namespace tollamer {

using namespace page_layout;

namespace {

constexpr uint32_t kAnyPageOffset = kPageSize;  // slots at 8192 and above are skipped

// The sysindexes row that gives the table's pages: on each page the first
// data row of the object decides; a row without data pages sends the search
// on to the next page.
std::optional<sql2000::SysIndexesRow> FindAllocationRow(const CMdfDatabase& db, uint32_t object_id) {
  std::optional<sql2000::SysIndexesRow> found;
  for (uint64_t page : db.systemPages2000.sysindexes) {
    SystemPageList one;
    one.Append(page);
    sql2000::ForEachSlotRow(db.Store(), one, kAnyPageOffset, [&](const sql2000::SlotRow& r) {
      std::optional<sql2000::SysIndexesRow> row = sql2000::ReadSysIndexesRow(r.row);
      if (!row || row->id != object_id || !row->DescribesData()) return true;
      if (row->dataPages != 0) found = row;
      return false;  // this row decides for the page
    });
    if (found) return found;
  }
  return std::nullopt;
}

bool IsDataPageOf(const std::optional<PageKind>& h, std::optional<uint32_t> object_id) {
  return h && h->HasType(PageType::kData) && (!object_id || h->objId == *object_id);
}

bool IsScannedDataPage(const PageHeader& h) {
  return h.headerVersion == kValidHeaderVersion && h.HasType(PageType::kData);
}

// The catalog tables without a list that no sysindexes row describes
// (with or without data pages: a table that has one is empty, not lost) get
// the data pages whose header names them, in one pass over the file.
void ListUndescribedTables(CMdfDatabase& db) {
  std::set<uint32_t> described;
  sql2000::ForEachSlotRow(db.Store(), db.systemPages2000.sysindexes, kAnyPageOffset,
                          [&](const sql2000::SlotRow& r) {
                            std::optional<sql2000::SysIndexesRow> row =
                                sql2000::ReadSysIndexesRow(r.row);
                            if (row && row->DescribesData()) described.insert(row->id);
                            return true;
                          });
  std::map<uint32_t, DataPageList> found;
  for (const auto& [id, table] : db.catalog.tables)
    if (!described.contains(id) && !db.dataPageLists.contains(id)) found[id];
  if (found.empty()) return;
  ForEachHeldPage(db.Store(), [&](uint64_t page, ByteView bytes) {
    std::optional<PageHeader> h = PageHeader::Decode(bytes);
    if (h && IsScannedDataPage(*h))
      if (auto it = found.find(h->objId); it != found.end()) it->second.push_back(page);
    return true;
  });
  for (auto& [id, pages] : found)
    if (!pages.empty()) db.dataPageLists[id] = std::move(pages);
}

}  // namespace

bool LocateTablePages2000(CMdfDatabase& db, uint32_t object_id) {
  std::optional<sql2000::SysIndexesRow> row = FindAllocationRow(db, object_id);
  if (!row) {
    // The row is lost with its sysindexes page (or the table is empty): a
    // SQL 2000 page header names its table, so the file's own headers say
    // which pages hold the table's rows.
    if (db.catalog.tables.contains(object_id)) ListUndescribedTables(db);
    return true;
  }
  const PageStore& store = db.Store();
  std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(store, row->firstIam);
  if (!singles) return false;

  // A slot names a data or index page of the table: one naming another
  // object's page, or an IAM page, was changed, and the chain is not
  // trusted.
  DataPageList list;
  for (uint64_t page : *singles) {
    const std::optional<PageKind> kind = store.KindOf(page);
    if (kind && (kind->objId != object_id || kind->HasType(PageType::kIam))) return false;
    if (IsDataPageOf(kind, std::nullopt)) list.push_back(page);
  }
  DataPageList& stored = db.dataPageLists[object_id];
  stored = std::move(list);

  if (row->dataPages >= sql2000::sysindexes::kExtentThreshold) {
    std::vector<uint64_t> extents;
    bool cut = false;
    if (!WalkIamChain(store, row->firstIam, extents, &cut)) return false;
    for (uint64_t e : extents) {
      for (uint64_t k = 0; k < iam_layout::kPagesPerExtent; ++k) {
        uint64_t page = e * iam_layout::kPagesPerExtent + k;
        if (IsDataPageOf(store.KindOf(page), object_id)) stored.push_back(page);
      }
    }
    if (cut) {
      // The chain goes on in a file that is not here: the table's pages in
      // the files held past the cut are known by their headers.
      std::set<uint64_t> listed(stored.begin(), stored.end());
      ForEachHeldPage(store, [&](uint64_t page, ByteView bytes) {
        std::optional<PageHeader> h = PageHeader::Decode(bytes);
        if (h && IsScannedDataPage(*h) && h->objId == object_id && !listed.contains(page))
          stored.push_back(page);
        return true;
      });
    }
  }
  return true;
}

void ScanFileForTable2000(CMdfDatabase& db, uint32_t object_id, bool all_tables,
                          const ScanProgress& progress) {
  const PageStore& store = db.Store();
  uint64_t done = 0;  // pages of every file, in key order
  auto tell = [&](uint64_t) {
    if (progress) progress(++done, store.PagesHeld());
  };
  if (!all_tables) {
    DataPageList& list = db.dataPageLists[object_id];
    list.clear();
    ForEachHeldPage(store, [&](uint64_t page, ByteView bytes) {
      tell(page);
      std::optional<PageHeader> h = PageHeader::Decode(bytes);
      if (h && IsScannedDataPage(*h) && h->objId == object_id) list.push_back(page);
      return true;
    });
    return;
  }
  for (auto& [id, list] : db.dataPageLists) list.clear();
  ForEachHeldPage(store, [&](uint64_t page, ByteView bytes) {
    tell(page);
    std::optional<PageHeader> h = PageHeader::Decode(bytes);
    if (h && IsScannedDataPage(*h) && db.catalog.tables.contains(h->objId))
      db.dataPageLists[h->objId].push_back(page);
    return true;
  });
}

}  // namespace tollamer
