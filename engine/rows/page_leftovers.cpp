#include "engine/rows/page_leftovers.h"

#include <algorithm>

#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/record_layout.h"
#include "engine/rows/cd_record_layout.h"
#include "engine/rows/leftover_checks.h"

namespace tollamer {

using namespace record_layout;

namespace {

// Status byte A of a FixedVar data record (see record_layout.h).
constexpr uint8_t kTypeForwardingStub = 0x04;  // record type 2
constexpr uint8_t kTypeGhostData = 0x0C;       // record type 6
constexpr uint8_t kTypeGhostVersion = 0x0E;    // record type 7: a ghost kept for row versioning
constexpr uint8_t kStatusNullBitmap = 0x10;
constexpr uint8_t kStatusVersioningTag = 0x40;
// Bit 0 (a compressed record in 2005+ files) and bit 7 are never set in a
// FixedVar data record.
constexpr uint8_t kStatusNeverSet = 0x81;
constexpr uint16_t kStubLength = 9;
constexpr uint16_t kVersioningTagBytes = 14;
// Status byte, status byte B, F, N and a one-byte null bitmap.
constexpr uint16_t kSmallestRecord = 7;

enum class Try { kNotCandidate, kRejected, kFound };

bool IsGhostType(uint8_t type) { return type == kTypeGhostData || type == kTypeGhostVersion; }

bool IsDataRecordType(uint8_t type) {
  return type == kRecordTypePrimary || type == kRecordTypeForwarded || IsGhostType(type);
}

// Reads the record at `offset` of `page` as one of the table's, the whole
// record ending by `limit`.
Try TryRecord(ByteView page, size_t offset, size_t limit, const RecordTraits& traits,
              const std::vector<ColumnPlan>& plan, const CellLocator& locator,
              const LeftoverShape& shape, LeftoverRecord& out) {
  const uint8_t status = page.LeOr<uint8_t>(offset);
  const uint8_t type = status & kRecordTypeMask;
  if ((status & kStatusNeverSet) != 0 || (status & kStatusNullBitmap) == 0 ||
      !IsDataRecordType(type))
    return Try::kNotCandidate;
  const std::optional<uint16_t> fixed_end = page.U16(offset + kFixedEnd);
  if (!fixed_end || !shape.fixedEnds.contains(*fixed_end)) return Try::kNotCandidate;

  // A candidate from here on: every failure is a rejected run.
  const ByteView record = page.From(offset);
  const size_t room = limit > offset ? limit - offset : 0;
  const size_t f = *fixed_end;
  if (f + kColumnCountSize > room) return Try::kRejected;
  const uint16_t n = record.LeOr<uint16_t>(f);
  if (!shape.columnCounts.contains(n)) return Try::kRejected;
  size_t end = f + kColumnCountSize + NullBitmapBytes(n);
  uint16_t v = 0;
  if ((status & kStatusVariableColumns) != 0) {
    if (end + kVariableCountSize > room) return Try::kRejected;
    v = record.LeOr<uint16_t>(end);
    const uint16_t most = shape.maxVariables + (type == kRecordTypeForwarded ? 1 : 0);
    if (v == 0 || v > most) return Try::kRejected;
    end += kVariableCountSize + kEndOffsetSize * size_t{v};
    if (end > room) return Try::kRejected;
    size_t previous = end;
    for (size_t k = 0; k < v; ++k) {
      const size_t e =
          record.LeOr<uint16_t>(f + kColumnCountSize + NullBitmapBytes(n) + kVariableCountSize +
                                kEndOffsetSize * k) & kEndOffsetMask;
      if (e < previous) return Try::kRejected;
      previous = e;
    }
    end = previous;
  }
  if ((status & kStatusVersioningTag) != 0) end += kVersioningTagBytes;
  if (end > room) return Try::kRejected;

  out.frame.fixedEnd = *fixed_end;
  out.frame.columnCount = n;
  out.frame.nullBitmapSize = static_cast<uint16_t>(NullBitmapBytes(n));
  out.frame.variableCount = v;
  locator.Locate(record, out.frame, offset, out.cells);
  if (!LeftoverCellsValid(plan, record, out.cells, traits.offRowValues)) return Try::kRejected;
  out.offset = static_cast<uint16_t>(offset);
  out.length = static_cast<uint16_t>(end);
  return Try::kFound;
}

struct Extent {
  size_t start = 0;
  size_t end = 0;
};

}  // namespace

const char* LeftoverSourceName(LeftoverSource source) {
  switch (source) {
    case LeftoverSource::kGhost: return "ghost";
    case LeftoverSource::kFreeSpace: return "free-space";
    case LeftoverSource::kUnallocatedPage: return "unallocated-page";
    case LeftoverSource::kDroppedTable: return "dropped-table";
  }
  return "";
}

LeftoverShape PlannedShape(const TableInfo& table, const std::vector<ColumnPlan>& plan) {
  LeftoverShape shape;
  size_t fixed_end = kFixedData;
  uint16_t stored = 0;
  uint16_t variables = 0;
  for (const ColumnPlan& p : plan) {
    if (p.place == ColumnPlace::kComputed) continue;
    ++stored;
    if (p.place == ColumnPlace::kFixed) fixed_end = std::max<size_t>(fixed_end, p.offset + p.column->length);
    if (p.place == ColumnPlace::kBit) fixed_end = std::max<size_t>(fixed_end, p.offset + 1u);
    if (p.place == ColumnPlace::kVariable) variables = std::max(variables, p.variable);
  }
  const PhysicalLayout2005& physical = table.physicalLayout2005;
  if (physical.known) {
    stored = static_cast<uint16_t>(physical.columns.size() + physical.hidden.size());
    for (const PhysicalColumn2005& h : physical.hidden)
      if (h.leafOffset < 0) variables = std::max<uint16_t>(variables, -h.leafOffset);
  }
  shape.fixedEnds.insert(static_cast<uint16_t>(fixed_end));
  shape.columnCounts.insert(stored);
  shape.columnCounts.insert(stored + 1);  // a uniquifier
  shape.maxVariables = std::max<uint16_t>(shape.maxVariables, variables + 1);
  return shape;
}


std::optional<uint16_t> RecordLength(ByteView record) {
  const std::optional<uint8_t> status = record.U8(kStatusA);
  if (!status) return std::nullopt;
  if ((*status & kRecordTypeMask) == kTypeForwardingStub) return kStubLength;
  const std::optional<uint16_t> f = record.U16(kFixedEnd);
  if (!f || *f < kFixedData) return std::nullopt;
  const std::optional<uint16_t> n = record.U16(*f);
  if (!n) return std::nullopt;
  size_t end = size_t{*f} + kColumnCountSize + NullBitmapBytes(*n);
  if ((*status & kStatusVariableColumns) != 0) {
    const std::optional<uint16_t> v = record.U16(end);
    if (!v) return std::nullopt;
    end += kVariableCountSize + kEndOffsetSize * size_t{*v};
    if (*v != 0) {
      const std::optional<uint16_t> last = record.U16(end - kEndOffsetSize);
      if (!last || (*last & kEndOffsetMask) < end) return std::nullopt;
      end = *last & kEndOffsetMask;
    }
  }
  if ((*status & kStatusVersioningTag) != 0) end += kVersioningTagBytes;
  if (end > page_layout::kPageSize) return std::nullopt;
  return static_cast<uint16_t>(end);
}

PageLeftovers FindPageLeftovers(ByteView page, const RecordTraits& traits,
                                const std::vector<ColumnPlan>& plan, const LeftoverShape& shape,
                                bool whole_page) {
  PageLeftovers found;
  const CellLocator locator(plan, traits.columnLayout != ColumnLayout::kFromTypes);
  const size_t slot_count =
      std::min<size_t>(page.LeOr<uint16_t>(page_layout::kSlotCnt), page_layout::kMaxSlots);
  const size_t first = page_layout::kHeaderSize;
  if (page.size() < page_layout::kPageSize || slot_count * 2 > page_layout::kPageSize - first)
    return found;
  const size_t slot_array = page_layout::kPageSize - 2 * slot_count;
  // Records in compressed formats are not read here.
  if ((page.LeOr<uint8_t>(page_layout::kTypeFlagBits) & cd_layout::kPageCompressedFlag) != 0)
    return found;

  std::vector<std::pair<uint16_t, uint16_t>> slots;  // offset, slot
  for (size_t s = 0; s < slot_count; ++s) {
    const uint16_t offset = SlotOffset(page, s).value_or(0);
    if (offset >= first && offset < slot_array) slots.emplace_back(offset, static_cast<uint16_t>(s));
  }
  std::vector<std::pair<uint16_t, uint16_t>> by_offset = slots;
  std::sort(by_offset.begin(), by_offset.end());
  std::vector<Extent> used;
  for (size_t i = 0; i < by_offset.size(); ++i) {
    const size_t start = by_offset[i].first;
    if (traits.compressedRecords && IsCompressedStatus(page.LeOr<uint8_t>(start)))
      return found;
    const size_t next = i + 1 < by_offset.size() ? by_offset[i + 1].first : slot_array;
    const std::optional<uint16_t> length = RecordLength(page.From(start));
    // A record whose length cannot be read is taken to run to the next one.
    used.push_back({start, length ? std::min(start + *length, slot_array) : next});
  }

  // The records the slot array names: ghosts, or all of them on a page
  // no longer allocated.
  for (const auto& [offset, slot] : slots) {
    const uint8_t type = page.LeOr<uint8_t>(offset) & kRecordTypeMask;
    if (!(IsGhostType(type) || (whole_page && IsDataRecordType(type)))) continue;
    LeftoverRecord r;
    switch (TryRecord(page, offset, slot_array, traits, plan, locator, shape, r)) {
      case Try::kFound:
        r.slot = slot;
        found.records.push_back(std::move(r));
        break;
      case Try::kRejected:
      case Try::kNotCandidate: ++found.rejected; break;
    }
  }

  // The free runs between and after them.
  size_t cursor = first;
  auto search = [&](size_t from, size_t to) {
    size_t o = from;
    while (o + kSmallestRecord <= to) {
      LeftoverRecord r;
      switch (TryRecord(page, o, to, traits, plan, locator, shape, r)) {
        case Try::kFound:
          o += r.length;
          found.records.push_back(std::move(r));
          continue;
        case Try::kRejected: ++found.rejected; break;
        case Try::kNotCandidate: break;
      }
      ++o;
    }
  };
  for (const Extent& e : used) {
    if (e.start > cursor) search(cursor, e.start);
    cursor = std::max(cursor, e.end);
  }
  if (cursor < slot_array) search(cursor, slot_array);
  return found;
}

}  // namespace tollamer
