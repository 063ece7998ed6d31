#include "engine/rows/row_reader_pages.h"

#include <cstdlib>

#include "engine/rows/cd_record_layout.h"
#include "engine/rows/grid_page.h"
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

bool WalkPageRecords(ByteView page, uint64_t page_number, const FormatProfile& profile,
                     const TableInfo& table, const std::vector<ColumnPlan>& plan,
                     const PageCompression* compression, const RecordVisitor& visit) {
  const RecordTraits& traits = profile.Records();
  const bool from_types = traits.columnLayout == ColumnLayout::kFromTypes;
  const size_t slot_count = page.LeOr<uint16_t>(page_layout::kSlotCnt);
  const size_t table_columns = table.columns.size();
  // Where the file records the physical layout, a record holds at most its
  // columns, dropped ones included (and a uniquifier), and fewer when it was
  // written before columns were added.
  const PhysicalLayout2005& physical = table.physicalLayout2005;
  const size_t physical_columns =
      physical.known ? physical.columns.size() + physical.hidden.size() : 0;
  TableRecord r;  // one for the page, so that its cell list is allocated once
  for (size_t slot = 0; slot < slot_count && slot < page_layout::kMaxSlots; ++slot) {
    std::optional<uint16_t> offset = SlotOffset(page, slot);
    if (!offset) break;
    if (!profile.AcceptSlotOffset(*offset)) continue;
    ByteView record = page.From(*offset);
    std::optional<uint8_t> status = record.U8(kStatusA);
    if (!status) continue;

    r.pageNumber = page_number;
    r.slot = static_cast<uint16_t>(slot);
    r.page = page;
    r.recordOffset = *offset;
    if (traits.compressedRecords && IsCompressedStatus(*status)) {
      r.compressed = true;
      r.compression = compression;
      r.cells.clear();
      if (!visit(r)) return false;
      continue;
    }
    // Forwarding stubs, index and ghost records hold no row of their own; a
    // forwarded record is read where it lies, its stub skipped, so each row
    // comes once.
    if (!IsRowStatus(*status)) continue;
    std::optional<uint16_t> fixed_end = record.U16(kFixedEnd);
    if (!fixed_end || size_t{*offset} + *fixed_end > kRecordLimit) continue;
    std::optional<RecordFrame> frame = ReadRecordFrame(record);
    if (!frame) continue;
    if (traits.columnCountEndsPage && physical.known) {
      if (frame->columnCount == 0 || frame->columnCount > physical_columns + 1) break;
    } else if (traits.columnCountEndsPage && std::abs(static_cast<long>(frame->columnCount) -
                                  static_cast<long>(table_columns)) > 1) {
      break;  // the rest of this page is not read
    }
    r.compressed = false;
    r.compression = nullptr;
    r.frame = *frame;
    if (from_types) LocateCells2005(plan, record, *frame, *offset, r.cells);
    else LocateCells2000(plan, record, *frame, *offset, r.cells);
    if (!visit(r)) return false;
  }
  return true;
}

}  // namespace tollamer
