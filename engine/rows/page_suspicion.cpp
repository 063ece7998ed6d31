#include "engine/rows/page_suspicion.h"

namespace tollamer {

const char* PageHeaderSuspicion(const CMdfDatabase& db, const FormatProfile& profile,
                                const TableInfo& table, const PageHeader& header,
                                uint64_t page_number, PageCheck check) {
  if (check == PageCheck::kChecksumFails) return suspect_reason::kChecksum;
  if (check == PageCheck::kTorn) return suspect_reason::kTorn;
  // A page of another file names its own (file 1's pages are judged by
  // their page id alone, as they always were).
  const uint16_t file = FileIdOfKey(page_number);
  if (header.pageId != PageIdOfKey(page_number) || (file != kFirstFileId && header.fileId != file))
    return suspect_reason::kOtherPage;
  const DataPageOwner owner = profile.OwnerOfDataPage(db, header);
  if (owner.systemTable) return suspect_reason::kOtherOwner;
  // The owners of 2005 pages are learnt from each table's first page: when
  // two tables claimed one, a damaged page taught them and they judge nothing.
  if (db.pageOwnerConflict.IsSet()) return nullptr;
  if (owner.table != 0 && owner.table != table.id) return suspect_reason::kOtherOwner;
  return nullptr;
}

bool CheckVouches(const PageHeader& header, PageCheck check) {
  return (header.flagBits & (page_layout::kFlagChecksum | page_layout::kFlagTornBits)) != 0 &&
         check == PageCheck::kGood;
}

}  // namespace tollamer
