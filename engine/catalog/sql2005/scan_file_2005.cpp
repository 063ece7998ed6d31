#include "engine/catalog/sql2005/scan_file_2005.h"

namespace tollamer::sql2005 {

using namespace page_layout;

namespace {

std::optional<uint32_t> DataPageObjId(ByteView raw) {
  std::optional<PageHeader> h = PageHeader::Decode(raw);
  if (!h || h->headerVersion != kValidHeaderVersion || !h->HasType(PageType::kData))
    return std::nullopt;
  return h->objId;
}

}  // namespace

void ScanFileForTable2005(CMdfDatabase& db, uint32_t object_id, bool all_tables,
                          const ScanProgress& progress) {
  const PageStore& store = db.Store();
  uint64_t done = 0;  // pages of every file, in key order
  auto tell = [&](uint64_t) {
    if (progress) progress(++done, store.PagesHeld());
  };
  if (!all_tables) {
    DataPageList& list = db.dataPageLists[object_id];
    list.clear();
    std::optional<uint32_t> owner_obj;
    for (const auto& [obj, table] : db.pageOwnerMap) {
      if (table == object_id) {
        owner_obj = obj;
        break;
      }
    }
    if (!owner_obj) return;
    ForEachHeldPage(store, [&](uint64_t p, ByteView raw) {
      tell(p);
      if (DataPageObjId(raw) == owner_obj) list.push_back(p);
      return true;
    });
    return;
  }
  for (auto& [id, list] : db.dataPageLists) list.clear();
  ForEachHeldPage(store, [&](uint64_t p, ByteView raw) {
    tell(p);
    std::optional<uint32_t> obj = DataPageObjId(raw);
    if (!obj) return true;
    auto owner = db.pageOwnerMap.find(*obj);
    if (owner != db.pageOwnerMap.end()) db.dataPageLists[owner->second].push_back(p);
    return true;
  });
}

}  // namespace tollamer::sql2005
