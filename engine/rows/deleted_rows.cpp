#include "engine/rows/deleted_rows.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "engine/catalog/create_table_text.h"
#include "engine/catalog/inferred_columns.h"
#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_list_reader.h"
#include "engine/pagestore/record_layout.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/row_reader_pages.h"
#include "engine/rows/typed_decode.h"
#include "engine/values/value_format.h"

namespace tollamer {

namespace {

using namespace record_layout;

constexpr uint8_t kStatusVersioningTag = 0x40;
constexpr uint16_t kVersioningTagBytes = 14;
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

// A record's identity: its bytes after the two status bytes, without a
// versioning tag, so that a ghost and its live or free-space copy agree.
uint64_t RecordHash(ByteView record, uint16_t length) {
  size_t n = std::min<size_t>(length, record.size());
  if ((record.LeOr<uint8_t>(kStatusA) & kStatusVersioningTag) != 0 &&
      n >= kVersioningTagBytes + kFixedData)
    n -= kVersioningTagBytes;
  uint64_t h = kFnvOffset ^ n;
  for (size_t i = kFixedEnd; i < n; ++i) h = (h ^ record.data()[i]) * kFnvPrime;
  return h;
}

uint64_t Mix(uint64_t h, const void* data, size_t n) {
  const auto* b = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * kFnvPrime;
  return h;
}

// Two leftovers with the same values are one row found twice (an old
// image whose unused bytes differ).
uint64_t ValuesHash(const std::vector<TypedValue>& values) {
  uint64_t h = kFnvOffset;
  for (const TypedValue& v : values) {
    h = Mix(h, &v.kind, sizeof v.kind);
    h = Mix(h, &v.integer, sizeof v.integer);
    h = Mix(h, &v.real, sizeof v.real);
    h = Mix(h, v.text.data(), v.text.size());
    h = Mix(h, v.bytes.data(), v.bytes.size());
    const TypedDateTime& t = v.time;
    for (int part : {t.year, t.month, t.day, t.hour, t.minute, t.second})
      h = Mix(h, &part, sizeof part);
    h = Mix(h, &t.fraction, sizeof t.fraction);
    h = Mix(h, &t.offsetMinutes, sizeof t.offsetMinutes);
  }
  return h;
}

// A record's values as stored: each located cell's kind and bytes, so
// that two images of one row whose unused bytes differ (a NULL fixed
// column keeps whatever bytes were there) agree.
uint64_t CellHash(ByteView record, const CellLocation& cell, uint64_t h) {
  h = Mix(h, &cell.kind, sizeof cell.kind);
  switch (cell.kind) {
    case CellKind::kFixed:
    case CellKind::kVariable:
      if (auto v = record.Slice(cell.offset, cell.length)) h = Mix(h, v->data(), v->size());
      break;
    case CellKind::kBit: {
      const uint8_t bit = (record.LeOr<uint8_t>(cell.offset) >> cell.bit) & 1;
      h = Mix(h, &bit, 1);
      break;
    }
    default: break;
  }
  return h;
}

uint64_t CellsHash(ByteView record, const std::vector<CellLocation>& cells) {
  uint64_t h = kFnvOffset;
  for (const CellLocation& cell : cells) h = CellHash(record, cell, h);
  return h;
}

class LeftoverWalk {
 public:
  LeftoverWalk(CMdfDatabase& db, const TableRecordWalk& walk, const DeletedRowVisitor& visit,
               DeletedRowStats& stats)
      : db_(db), walk_(walk), visit_(visit), stats_(stats) {
    shape_ = PlannedShape(walk.Table(), walk.Plan());
  }

  // F, N and V as the table's records have them, from the records the
  // slot array names.
  void Learn(ByteView page) {
    ForEachRowRecord(page, [&](ByteView record, uint16_t, uint8_t status, uint16_t,
                               const RecordFrame& frame) {
      shape_.fixedEnds.insert(frame.fixedEnd);
      shape_.columnCounts.insert(frame.columnCount);
      if ((status & kStatusVariableColumns) != 0)
        shape_.maxVariables = std::max(shape_.maxVariables, frame.variableCount);
      (void)record;
    });
  }

  // The leftovers of a page, noted by their identities only (a table's
  // live rows can be many; its leftovers are few).
  void Scan(ByteView page, uint64_t number, bool whole_page, LeftoverSource whole_source) {
    if (!Accepted(page)) return;
    ++stats_.pages;
    PageLeftovers found =
        FindPageLeftovers(page, walk_.Profile().Records(), walk_.Plan(), shape_, whole_page);
    stats_.rejected += found.rejected;
    bool fresh = false;  // a leftover not seen on an earlier page
    for (const LeftoverRecord& r : found.records) {
      const ByteView bytes = page.From(r.offset);
      if (!wanted_.insert(RecordHash(bytes, r.length)).second) continue;
      fresh = true;
      wanted_.insert(CellsHash(bytes, r.cells));
      if (!r.cells.empty()) keys_.emplace(CellHash(bytes, r.cells[0], kFnvOffset), 0);
    }
    // A page whose leftovers were all seen before gives nothing new.
    if (fresh) pages_.push_back({number, whole_page, whole_source});
  }
  bool HasLeftovers() const { return !pages_.empty(); }

  // A live page: which leftovers are copies of its rows, and how many live
  // rows have each leftover's first column.
  void MatchLive(ByteView page) {
    ForEachRowRecord(page, [&](ByteView record, uint16_t offset, uint8_t, uint16_t length,
                               const RecordFrame& frame) {
      const uint64_t id = RecordHash(record, length);
      if (wanted_.contains(id)) copies_.insert(id);
      std::optional<uint64_t> key = FirstCellHash(record, frame);
      const auto k = key ? keys_.find(*key) : keys_.end();
      // A copy with the same values has the same first column: the whole
      // row is located only for those.
      if (!key || k != keys_.end()) {
        walk_.Locator().Locate(record, frame, offset, cells_);
        const uint64_t values = CellsHash(record, cells_);
        if (wanted_.contains(values)) copies_.insert(values);
        if (cells_.empty()) return;
        key = CellHash(record, cells_[0], kFnvOffset);
        if (auto found = keys_.find(*key); found != keys_.end()) ++found->second;
      }
      // Whether any two live rows share their first column, told by a
      // bitmap of key hashes: a false match only turns the test off.
      if (key_bits_.empty()) key_bits_.assign(kKeyBitmapBits / 64, 0);
      uint64_t& word = key_bits_[(*key % kKeyBitmapBits) / 64];
      const uint64_t bit = uint64_t{1} << (*key % 64);
      if (word & bit) keys_repeat_ = true;
      word |= bit;
    });
  }

  // The leftovers that are rows of their own, in page order; false when
  // the visitor stopped.
  bool Emit() {
    for (const ScannedPage& scanned : pages_) {
      std::optional<Page> read = db_.Store().ReadPage(scanned.number);
      if (!read) continue;
      const ByteView page = read->view();
      PageLeftovers found =
          FindPageLeftovers(page, walk_.Profile().Records(), walk_.Plan(), shape_, scanned.whole);
      for (LeftoverRecord& r : found.records)
        if (!Give(page, scanned, r)) return false;
    }
    return true;
  }

 private:
  struct ScannedPage {
    uint64_t number = 0;
    bool whole = false;
    LeftoverSource source = LeftoverSource::kFreeSpace;
  };

  bool Give(ByteView page, const ScannedPage& scanned, LeftoverRecord& r) {
    const ByteView bytes = page.From(r.offset);
    const uint64_t id = RecordHash(bytes, r.length);
    if (copies_.contains(id) || copies_.contains(CellsHash(bytes, r.cells)) ||
        !given_.insert(id).second) {
      ++stats_.repeated;
      return true;
    }
    // On a live page, a record whose first column - a key wherever no two
    // live rows share it - is a live row's is an older image of that row,
    // left by an update that moved it. After TRUNCATE the identity values
    // start again, so freed pages are not held to this.
    if (!scanned.whole && !keys_repeat_ && !r.cells.empty()) {
      auto k = keys_.find(CellHash(bytes, r.cells[0], kFnvOffset));
      if (k != keys_.end() && k->second > 0) {
        ++stats_.olderImages;
        return true;
      }
    }
    TableRecord record;
    record.pageNumber = scanned.number;
    record.slot = r.slot.value_or(0);
    record.page = page;
    record.recordOffset = r.offset;
    record.frame = r.frame;
    record.cells = std::move(r.cells);
    std::optional<std::vector<TypedValue>> values = RecordValues(db_, walk_, record);
    if (!values) {
      ++stats_.rejected;
      return true;
    }
    if (!given_values_.insert(ValuesHash(*values)).second) {
      ++stats_.repeated;
      return true;
    }
    DeletedRow row;
    row.source = scanned.whole ? scanned.source
                               : (r.slot ? LeftoverSource::kGhost : LeftoverSource::kFreeSpace);
    row.page = scanned.number;
    row.slot = r.slot;
    row.offset = r.offset;
    row.values = std::move(*values);
    ++stats_.rows;
    return visit_(row);
  }

  // The hash of the first column's cell as LocateCells gives it, for the
  // usual first column (a fixed one with its null bit first); nothing
  // when the whole row must be located to know it.
  std::optional<uint64_t> FirstCellHash(ByteView record, const RecordFrame& frame) const {
    const std::vector<ColumnPlan>& plan = walk_.Plan();
    if (plan.empty() || plan[0].place != ColumnPlace::kFixed || plan[0].recorded ||
        plan[0].column->xtype == value_type::kBinary)
      return std::nullopt;
    CellLocation cell;
    if (!IsNullColumn(record, frame, 0) && plan[0].offset < frame.fixedEnd) {
      cell.kind = CellKind::kFixed;
      cell.offset = plan[0].offset;
      cell.length = plan[0].column->length;
    }
    return CellHash(record, cell, kFnvOffset);
  }

  // Each primary or forwarded record the slot array names, with its
  // offset, status byte, length and frame.
  template <typename Visit>
  void ForEachRowRecord(ByteView page, Visit visit) const {
    if (!Accepted(page)) return;
    const size_t slots = std::min<size_t>(page.LeOr<uint16_t>(page_layout::kSlotCnt),
                                          page_layout::kMaxSlots);
    for (size_t s = 0; s < slots; ++s) {
      const uint16_t offset = SlotOffset(page, s).value_or(0);
      if (offset < page_layout::kHeaderSize || offset >= page_layout::kPageSize) continue;
      const ByteView record = page.From(offset);
      const uint8_t status = record.LeOr<uint8_t>(kStatusA);
      if (IsCompressedStatus(status) && walk_.Profile().Records().compressedRecords) continue;
      if (!IsRowStatus(status)) continue;
      const std::optional<uint16_t> length = RecordLength(record);
      const std::optional<RecordFrame> frame = ReadRecordFrame(record);
      if (length && frame) visit(record, offset, status, *length, *frame);
    }
  }

  bool Accepted(ByteView page) const {
    std::optional<PageHeader> h = PageHeader::Decode(page);
    if (!h) return false;
    return walk_.Profile().AcceptDataPage(*h);
  }

  CMdfDatabase& db_;
  const TableRecordWalk& walk_;
  const DeletedRowVisitor& visit_;
  DeletedRowStats& stats_;
  LeftoverShape shape_;
  std::vector<ScannedPage> pages_;             // pages that hold leftovers
  std::unordered_set<uint64_t> wanted_;        // the leftovers' identities
  std::unordered_set<uint64_t> copies_;        // ... that a live row has
  std::unordered_map<uint64_t, uint32_t> keys_;  // leftover first column -> live rows with it
  static constexpr uint64_t kKeyBitmapBits = uint64_t{1} << 24;  // 2 MiB
  std::vector<uint64_t> key_bits_;
  bool keys_repeat_ = false;
  std::vector<CellLocation> cells_;
  std::unordered_set<uint64_t> given_;
  std::unordered_set<uint64_t> given_values_;
};

std::vector<uint64_t> Distinct(const std::vector<uint64_t>& pages) {
  std::vector<uint64_t> out;
  std::unordered_set<uint64_t> seen;
  for (uint64_t p : pages)
    if (seen.insert(p).second) out.push_back(p);
  return out;
}

}  // namespace

bool ForEachDeletedRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                       const LeftoverPages& leftovers, const DeletedRowVisitor& visit,
                       DeletedRowStats& stats) {
  stats = {};
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!walk) return false;
  const DataPageList* list = walk->FindPages();
  const std::vector<uint64_t> listed = list ? Distinct(*list) : std::vector<uint64_t>{};
  std::vector<uint64_t> freed;
  if (auto it = leftovers.byTable.find(table_id); it != leftovers.byTable.end())
    freed = Distinct(it->second);
  const std::unordered_set<uint64_t> is_freed(freed.begin(), freed.end());

  LeftoverWalk leftover(db, *walk, visit, stats);
  PageListReader reader(db.Store());
  // The records' shape, then the leftovers, then the live rows they are
  // copies or older images of, then the leftovers that remain.
  for (const std::vector<uint64_t>* pages : {&listed, static_cast<const std::vector<uint64_t>*>(&freed)})
    reader.ForEach(*pages, [&](uint64_t, const ByteView* page) {
      if (page) leftover.Learn(*page);
      return true;
    });
  reader.ForEach(listed, [&](uint64_t p, const ByteView* page) {
    if (page && !is_freed.contains(p)) leftover.Scan(*page, p, false, LeftoverSource::kFreeSpace);
    return true;
  });
  reader.ForEach(freed, [&](uint64_t p, const ByteView* page) {
    if (page) leftover.Scan(*page, p, true, LeftoverSource::kUnallocatedPage);
    return true;
  });
  if (!leftover.HasLeftovers()) return true;
  reader.ForEach(listed, [&](uint64_t p, const ByteView* page) {
    if (page && !is_freed.contains(p)) leftover.MatchLive(*page);
    return true;
  });
  return leftover.Emit();
}

std::vector<DroppedTable> FindDroppedTables(const CMdfDatabase& db,
                                            const LeftoverPages& leftovers,
                                            const std::vector<TableInfo>& described) {
  std::vector<DroppedTable> out;
  for (const auto& [owner, pages] : leftovers.byLostOwner) {
    DroppedTable d;
    d.owner = owner;
    d.pages = pages;
    const std::optional<RecordShape> shape = ReadRecordShape(db.Store(), pages);
    if (!shape) continue;
    auto fits = [&](const TableInfo& t) {
      const CreatedShape s = ShapeOfCreated(t);
      return s.fixedEnd == shape->fixedSize && s.columns == shape->columns &&
             shape->variables <= s.variables;
    };
    auto given = std::find_if(described.begin(), described.end(), fits);
    if (given != described.end()) {
      d.table = *given;
    } else {
      d.table.fullName = kDroppedTableNamePrefix + std::to_string(owner);
      if (!InferColumnsFromRecords(db.Store(), d.pages, d.table)) continue;
    }
    d.table.id = static_cast<uint32_t>(owner);
    out.push_back(std::move(d));
  }
  return out;
}

bool ForEachDroppedRow(CMdfDatabase& db, VersionSetting version, DroppedTable& dropped,
                       const DeletedRowVisitor& visit, DeletedRowStats& stats) {
  stats = {};
  std::optional<TableRecordWalk> walk = TableRecordWalk::PrepareFor(db, version, dropped.table);
  if (!walk) return false;
  LeftoverWalk leftover(db, *walk, visit, stats);
  PageListReader reader(db.Store());
  reader.ForEach(dropped.pages, [&](uint64_t, const ByteView* page) {
    if (page) leftover.Learn(*page);
    return true;
  });
  reader.ForEach(dropped.pages, [&](uint64_t p, const ByteView* page) {
    if (page) leftover.Scan(*page, p, true, LeftoverSource::kDroppedTable);
    return true;
  });
  return leftover.Emit();
}

}  // namespace tollamer
