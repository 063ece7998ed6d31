#include "engine/catalog/sql2005/page_owner_2005.h"

namespace tollamer::sql2005 {

void RecordPageOwner2005(CMdfDatabase& db, uint32_t object_id, PageOwnerConflict& conflict) {
  auto list = db.dataPageLists.find(object_id);
  if (list == db.dataPageLists.end() || list->second.empty()) return;
  std::optional<PageHeader> h = db.Store().ReadHeader(list->second.front());
  if (!h) return;
  auto [owner, inserted] = db.pageOwnerMap.try_emplace(h->objId, object_id);
  // The same table met twice (a listed page read twice) is no conflict.
  if (!inserted && owner->second != object_id && conflict.Set())
    db.Messages().Notify(EngineNotice::kPageOwnerConflict);
}

}  // namespace tollamer::sql2005
