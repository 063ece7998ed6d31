#include "engine/rows/leftover_pages.h"

#include <unordered_map>
#include <unordered_set>

#include "engine/catalog/inferred_columns.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_header.h"
#include "engine/pagestore/pfs_allocation.h"
#include "engine/rows/page_leftovers.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/row_reader_pages.h"

namespace tollamer {

namespace {

const DataPageList* QuietList(CMdfDatabase& db, const FormatProfile& profile, uint32_t id) {
  if (!db.dataPageLists.contains(id)) profile.LocateTablePages(db, id);
  auto it = db.dataPageLists.find(id);
  return it == db.dataPageLists.end() ? nullptr : &it->second;
}

// The catalog table whose records alone have the shape of the owner's
// records; 0 when none or several do.
uint32_t TableOfShape(CMdfDatabase& db, const FormatProfile& profile, const RecordShape& shape) {
  uint32_t found = 0;
  for (const auto& [id, table] : db.catalog.tables) {
    if (table.columns.empty() || table.columnsInferred) continue;
    std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, profile, id);
    if (!walk) continue;
    const LeftoverShape planned = PlannedShape(table, walk->Plan());
    if (!planned.fixedEnds.contains(shape.fixedSize) ||
        !planned.columnCounts.contains(shape.columns) || shape.variables > planned.maxVariables)
      continue;
    if (found) return 0;
    found = id;
  }
  return found;
}

// A table emptied by TRUNCATE in a 2005+ file gets new allocation units;
// its old pages name a unit no catalog row describes. Pages of such an
// owner whose records have the shape of exactly one catalog table are
// taken as that table's.
void AttributeByShape(CMdfDatabase& db, const FormatProfile& profile, LeftoverPages& out) {
  for (auto it = out.byLostOwner.begin(); it != out.byLostOwner.end();) {
    std::optional<RecordShape> shape = ReadRecordShape(db.Store(), it->second);
    const uint32_t table = shape ? TableOfShape(db, profile, *shape) : 0;
    if (!table) {
      ++it;
      continue;
    }
    std::vector<uint64_t>& pages = out.byTable[table];
    pages.insert(pages.end(), it->second.begin(), it->second.end());
    it = out.byLostOwner.erase(it);
  }
}

}  // namespace

LeftoverPages FindLeftoverPages(CMdfDatabase& db, VersionSetting version, bool ask) {
  LeftoverPages out;
  const FormatProfile* profile = ProfileFor(version);
  if (!profile) return out;
  PfsAllocation allocation(db.Store());
  std::unordered_map<uint64_t, uint32_t> listed;  // page -> table
  for (auto& [id, table] : db.catalog.tables) {
    // Without leave to ask, a damaged chain is not replaced by the scan.
    const DataPageList* list = ask || !profile->TableScanOffered()
                                   ? FindDataPageList(db, *profile, table)
                                   : QuietList(db, *profile, id);
    if (!list) continue;
    for (uint64_t p : *list) {
      listed.emplace(p, id);
      if (!allocation.IsAllocated(p)) out.byTable[id].push_back(p);
    }
  }
  // A secondary file read alone has no catalog: the owners of its
  // allocated pages are as lost as those of free ones.
  const bool no_catalog = !db.Store().HoldsFile(kFirstFileId);
  ForEachHeldPage(db.Store(), [&](uint64_t p, ByteView raw) {
    std::optional<PageHeader> h = PageHeader::Decode(raw);
    if (!h || listed.contains(p)) return true;
    if (!profile->AcceptDataPage(*h)) return true;
    if (!no_catalog && allocation.IsAllocated(p)) return true;
    const DataPageOwner owner = profile->OwnerOfDataPage(db, *h);
    if (owner.table)
      out.byTable[owner.table].push_back(p);
    else if (owner.lostOwner)
      out.byLostOwner[owner.lostOwner].push_back(p);
    return true;
  });
  AttributeByShape(db, *profile, out);
  return out;
}

}  // namespace tollamer
