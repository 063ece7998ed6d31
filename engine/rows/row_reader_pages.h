// The page half of the record walk: finding a table's data page list,
// accepting a data page, reading the compression information of a
// page-compressed page, and picking the records out of the slot array.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/catalog/format_profile.h"
#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/page_header.h"
#include "engine/rows/leftover_checks.h"
#include "engine/rows/page_suspicion.h"
#include "engine/rows/row_reader.h"

namespace tollamer {


// The table's list, built on first use through the profile's allocation
// route; where the profile offers it and the route is damaged, the
// whole-file scan runs after the question (on OK). Null when no list
// exists.
const DataPageList* FindDataPageList(CMdfDatabase& db, const FormatProfile& profile,
                                     const TableInfo& table);

// The compression of a 2005/2008 data page: empty for a page that is not
// page-compressed; nothing (after the message) when its compression
// information header has bits other than 0x02 and 0x04.
std::optional<PageCompression> ReadPageCompression(ByteView page, const TableInfo& table,
                                                   EngineMessages& messages);

// What the walk of one page learns beyond its records.
struct PageWalkNotes {
  // In: why the page's header makes its rows suspect (page_suspicion.h).
  // Out: also damage found in its slot array or records.
  const char* suspect = nullptr;
  bool checkValues = true;  // in: check each row's values against their types
  uint64_t slotsLost = 0;   // out: slots whose record could not be decoded
};

// A slot whose record is to be visited, as the check of its page found it.
struct PageSlot {
  uint16_t slot = 0;
  uint16_t offset = 0;
  bool compressed = false;
  RecordFrame frame;  // FixedVar records
};

// The first half of WalkPageRecords: every slot of the page checked, the
// records to visit listed in `records` (cleared first; a reused list keeps
// its allocation), the damage found in `notes`.
void CheckPageSlots(ByteView page, const FormatProfile& profile, const TableInfo& table,
                    PageWalkNotes& notes, std::vector<PageSlot>& records);

// The second half: each listed record located and handed to `visit(const
// TableRecord&)` (a template, so that a hot visitor is called directly).
// Returns false when the visitor stopped.
template <typename Visit>
bool VisitPageRecords(ByteView page, uint64_t page_number, std::span<const PageSlot> records,
                      const std::vector<ColumnPlan>& plan, const CellLocator& locator,
                      const RecordTraits& traits, const PageCompression* compression,
                      const PageWalkNotes& notes, Visit&& visit) {
  TableRecord r;  // one for the page, so that its cell list is allocated once
  r.pageNumber = page_number;
  r.page = page;
  for (const PageSlot& s : records) {
    r.slot = s.slot;
    r.recordOffset = s.offset;
    r.suspect = notes.suspect;
    r.compressed = s.compressed;
    if (s.compressed) {
      r.compression = compression;
      r.cells.clear();
      if (!visit(r)) return false;
      continue;
    }
    r.compression = nullptr;
    r.frame = s.frame;
    ByteView record = page.From(s.offset);
    locator.Locate(record, s.frame, s.offset, r.cells);
    if (!r.suspect && notes.checkValues &&
        !LeftoverCellsValid(plan, record, r.cells, traits.offRowValues))
      r.suspect = suspect_reason::kValue;
    if (!visit(r)) return false;
  }
  return true;
}

// TableRecordWalk::WalkPage with a visitor called directly; `slots` is the
// caller's list, reused from page to page.
template <typename Visit>
TableRecordWalk::PageWalk WalkPageWith(const TableRecordWalk& walk, ByteView page,
                                       uint64_t page_number, EngineMessages& messages,
                                       std::vector<PageSlot>& slots, Visit&& visit,
                                       uint64_t* slots_lost = nullptr) {
  PageWalkNotes notes;
  std::optional<PageCompression> compression;
  if (!walk.StartPage(page, page_number, messages, notes, compression))
    return TableRecordWalk::PageWalk::kSkipped;
  CheckPageSlots(page, walk.Profile(), walk.Table(), notes, slots);
  const bool walked = VisitPageRecords(page, page_number, slots, walk.Plan(), walk.Locator(),
                                       walk.Profile().Records(),
                                       compression ? &*compression : nullptr, notes, visit);
  if (slots_lost) *slots_lost += notes.slotsLost;
  return walked ? TableRecordWalk::PageWalk::kWalked : TableRecordWalk::PageWalk::kStopped;
}

// Visits the records of one repaired, accepted data page, every slot
// checked first: a slot offset outside the records' room or a record
// whose frame cannot be read marks every row of the page suspect
// (TableRecord::suspect) and loses that slot, a record running past the
// page's free data marks them suspect; a row whose values its types
// cannot hold is suspect on its own. Returns false when the visitor stopped.
bool WalkPageRecords(ByteView page, uint64_t page_number, const FormatProfile& profile,
                     const TableInfo& table, const std::vector<ColumnPlan>& plan,
                     const CellLocator& locator, const PageCompression* compression,
                     PageWalkNotes& notes, const RecordVisitor& visit);

}  // namespace tollamer
