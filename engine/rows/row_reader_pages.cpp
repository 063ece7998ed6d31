#include "engine/rows/row_reader_pages.h"

#include <algorithm>
#include <cstdlib>

#include "engine/rows/cd_record_layout.h"
#include "engine/rows/grid_page.h"
#include "engine/rows/leftover_checks.h"
#include "engine/rows/page_suspicion.h"
#include "engine/pagestore/record_layout.h"

namespace tollamer {

using namespace record_layout;

namespace {

const DataPageList* Lookup(CMdfDatabase& db, uint32_t id) {
  auto it = db.dataPageLists.find(id);
  return it == db.dataPageLists.end() ? nullptr : &it->second;
}

}  // namespace

const DataPageList* FindDataPageList(CMdfDatabase& db, const FormatProfile& profile,
                                     const TableInfo& table) {
  if (const DataPageList* list = Lookup(db, table.id)) return list;
  if (!profile.LocateTablePages(db, table.id) && profile.TableScanOffered() &&
      db.Messages().Ask(EngineQuestion::kScanFileForTable))
    profile.ScanFileForTable(db, table.id);
  return Lookup(db, table.id);
}

std::optional<PageCompression> ReadPageCompression(ByteView page, const TableInfo& table,
                                                   EngineMessages& messages) {
  PageCompression compression;
  uint8_t type_flags = page.LeOr<uint8_t>(page_layout::kTypeFlagBits);
  if ((type_flags & cd_layout::kPageCompressedFlag) == 0) return compression;
  std::optional<uint8_t> ci_header = page.U8(cd_layout::kCiPageOffset + cd_layout::kCiHeader);
  if (!ci_header || (*ci_header & ~cd_layout::kCiKnownBits) != 0) {
    messages.Notify(EngineNotice::kCompressedPageUnreadable);
    return std::nullopt;
  }
  std::optional<CompressionInfoHeader> info = ReadCompressionInfoHeader(page);
  if (!info) return compression;
  if (info->hasAnchor) {
    std::optional<AnchorEntries> anchor =
        ParseAnchorRecord(page, info->anchorRecordOffset, table.columns, messages);
    if (anchor) compression.anchor = std::move(*anchor);
  }
  if (info->hasDictionary) compression.dictionary = ParseDictionary(page, info->dictionaryOffset);
  return compression;
}

namespace {

// Where a FixedVar record's bytes end, relative to its start (a versioning
// tag after them not counted).
size_t RecordEnd(ByteView record, const RecordFrame& frame, uint8_t status) {
  if ((status & kStatusVariableColumns) == 0 || frame.variableCount == 0)
    return size_t{frame.fixedEnd} + kColumnCountSize + frame.nullBitmapSize;
  return VariableEndOffset(record, frame, frame.variableCount).value_or(0) & kEndOffsetMask;
}

}  // namespace

void CheckPageSlots(ByteView page, const FormatProfile& profile, const TableInfo& table,
                    PageWalkNotes& notes, std::vector<PageSlot>& records) {
  const RecordTraits& traits = profile.Records();
  const size_t slot_count = page.LeOr<uint16_t>(page_layout::kSlotCnt);
  const size_t free_data = page.LeOr<uint16_t>(page_layout::kFreeData);
  const size_t table_columns = table.columns.size();
  // Where the file records the physical layout, a record holds at most its
  // columns, dropped ones included (and a uniquifier), and fewer when it was
  // written before columns were added.
  const PhysicalLayout2005& physical = table.physicalLayout2005;
  const size_t physical_columns =
      physical.known ? physical.columns.size() + physical.hidden.size() : 0;
  // Every slot is checked before any row is handed out, so that a page
  // whose slot array or records are damaged gives all its rows as suspect.
  const char* damage = nullptr;
  records.clear();
  records.reserve(std::min(slot_count, page_layout::kMaxSlots));
  if (slot_count > page_layout::kMaxSlots || free_data > page_layout::kPageSize - 2 * slot_count)
    damage = suspect_reason::kSlotArray;
  for (size_t slot = 0; slot < slot_count && slot < page_layout::kMaxSlots; ++slot) {
    std::optional<uint16_t> offset = SlotOffset(page, slot);
    if (!offset) break;
    if (*offset == 0) continue;  // an emptied slot
    if (!profile.AcceptSlotOffset(*offset) || *offset < page_layout::kHeaderSize ||
        *offset >= free_data) {
      damage = suspect_reason::kSlotArray;
      ++notes.slotsLost;
      continue;
    }
    ByteView record = page.From(*offset);
    const uint8_t status = record.LeOr<uint8_t>(kStatusA);
    if (traits.compressedRecords && IsCompressedStatus(status)) {
      records.push_back({static_cast<uint16_t>(slot), *offset, true, {}});
      continue;
    }
    // Forwarding stubs, index and ghost records hold no row of their own; a
    // forwarded record is read where it lies, its stub skipped, so each row
    // comes once.
    if (!IsRowStatus(status)) continue;
    std::optional<uint16_t> fixed_end = record.U16(kFixedEnd);
    std::optional<RecordFrame> frame;
    if (fixed_end && size_t{*offset} + *fixed_end <= kRecordLimit) frame = ReadRecordFrame(record);
    if (!frame) {
      damage = suspect_reason::kRecord;
      ++notes.slotsLost;
      continue;
    }
    // A record running past the page's records is read as far as the
    // page goes, its row suspect.
    if (*offset + RecordEnd(record, *frame, status) > free_data) damage = suspect_reason::kRecord;
    const bool count_fits =
        !traits.columnCountEndsPage ||
        (physical.known ? frame->columnCount != 0 && frame->columnCount <= physical_columns + 1
                        : std::abs(static_cast<long>(frame->columnCount) -
                                   static_cast<long>(table_columns)) <= 1);
    if (!count_fits) {
      // The rest of this page is not read.
      damage = suspect_reason::kRecord;
      notes.slotsLost += slot_count - slot;
      break;
    }
    records.push_back({static_cast<uint16_t>(slot), *offset, false, *frame});
  }
  if (!notes.suspect) notes.suspect = damage;
}

bool WalkPageRecords(ByteView page, uint64_t page_number, const FormatProfile& profile,
                     const TableInfo& table, const std::vector<ColumnPlan>& plan,
                     const CellLocator& locator, const PageCompression* compression,
                     PageWalkNotes& notes, const RecordVisitor& visit) {
  std::vector<PageSlot> records;
  CheckPageSlots(page, profile, table, notes, records);
  return VisitPageRecords(page, page_number, records, plan, locator, profile.Records(),
                          compression, notes, visit);
}

}  // namespace tollamer
