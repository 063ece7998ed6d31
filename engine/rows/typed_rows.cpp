#include "engine/rows/typed_rows.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "engine/pagestore/page_list_reader.h"
#include "engine/rows/ordered_batches.h"
#include "engine/rows/page_suspicion.h"

#include "engine/rows/row_reader.h"
#include "engine/rows/row_reader_pages.h"
#include "engine/rows/row_text_plan.h"
#include "engine/rows/typed_decode.h"
#include "engine/pagestore/pfs_allocation.h"

namespace tollamer {

namespace {

using PageWalk = TableRecordWalk::PageWalk;

// The table prepared for the walk and its data page list (found or built);
// null when either cannot be had. Sets the stats' list fields.
const DataPageList* StartWalk(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                              std::optional<TableRecordWalk>& walk, TypedTableStats& stats) {
  stats = {};
  walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!walk) return nullptr;
  const DataPageList* list = walk->FindPages();
  if (!list) return nullptr;
  stats.listed = true;
  stats.pages = list->size();
  return list;
}

}  // namespace

void TypedTableStats::Add(TypedTableStats&& part) {
  pagesSkipped += part.pagesSkipped;
  rows += part.rows;
  rowsRejected += part.rowsRejected;
  slotsLost += part.slotsLost;
  for (SuspectRow& row : part.suspectRows) suspectRows.push_back(std::move(row));
}

bool KeepApart(const TableInfo& table, const TableRecord& record, std::vector<TypedValue>& values,
               std::vector<SuspectRow>& suspect) {
  const char* reason = record.suspect;
  if (!reason && std::none_of(values.begin(), values.end(), [](const TypedValue& v) {
        return v.source == ValueSource::kUnreadable;
      }))
    return false;
  size_t i = 0;
  for (const auto& [colid, column] : table.columns) {
    if (i >= values.size()) break;
    TypedValue& v = values[i++];
    // sql_variant values are not decoded: no loss of the file's.
    if (v.source != ValueSource::kUnreadable || column.xtype == value_type::kSqlVariant) continue;
    v = TypedValue::Null();
    v.source = ValueSource::kUnreadable;
    if (!reason) reason = suspect_reason::kLostValue;
  }
  if (!reason) return false;
  suspect.push_back({values, record.pageNumber, record.slot, reason});
  return true;
}

bool ForEachTypedRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                     const TypedRowVisitor& visit, TypedTableStats& stats,
                     const PageProgress& progress) {
  std::optional<TableRecordWalk> walk;
  const DataPageList* list = StartWalk(db, version, table_id, walk, stats);
  if (!list) return false;
  // The list is copied: the visitor may not keep the catalog's list alive.
  const DataPageList pages = *list;
  bool stopped = false;
  std::vector<TypedValue> values;  // reused from record to record
  RecordVisitor on_record = [&](const TableRecord& record) {
    if (!RecordValuesInto(db.Store(), db.Messages(), *walk, record, values)) {
      ++stats.rowsRejected;
      return true;
    }
    if (KeepApart(walk->Table(), record, values, stats.suspectRows)) return true;
    ++stats.rows;
    if (!visit(values)) {
      stopped = true;
      return false;
    }
    return true;
  };
  uint64_t done = 0;
  std::unordered_set<uint64_t> seen;
  PfsAllocation allocation(db.Store());
  for (uint64_t page_number : pages) {
    ++done;
    // A page named twice (an allocation page and a single-page slot both
    // naming it) would give its rows twice.
    if (!seen.insert(page_number).second) {
      ++stats.pagesRepeated;
      if (progress) progress(done, pages.size());
      continue;
    }
    // A page of an allocated extent that is itself free keeps stale rows.
    if (!allocation.IsAllocated(page_number)) {
      ++stats.pagesUnallocated;
      if (progress) progress(done, pages.size());
      continue;
    }
    std::optional<Page> page = db.Store().ReadPage(page_number);
    if (!page || walk->WalkPage(page->view(), page_number, db.Messages(), on_record,
                                &stats.slotsLost) == PageWalk::kSkipped)
      ++stats.pagesSkipped;
    if (progress) progress(done, pages.size());
    if (stopped) return false;
  }
  return true;
}

namespace {

// The page keys of a list met so far: a bitmap over the list's range of
// keys when that range is not much wider than the list (a table's pages
// lie in a few runs), else a hash set.
class SeenPages {
 public:
  explicit SeenPages(const DataPageList& list) {
    if (list.empty()) return;
    const auto [low, high] = std::minmax_element(list.begin(), list.end());
    const uint64_t span = *high - *low;
    if (span / kKeysPerPage > list.size()) return;
    first_ = *low;
    bits_.assign(span / 64 + 1, 0);
  }
  // False when the key was met before.
  bool Insert(uint64_t key) {
    if (bits_.empty()) return set_.insert(key).second;
    const uint64_t at = key - first_;
    const uint64_t bit = uint64_t{1} << (at % 64);
    uint64_t& word = bits_[at / 64];
    if (word & bit) return false;
    word |= bit;
    return true;
  }

 private:
  static constexpr uint64_t kKeysPerPage = 64;  // of the range a listed page may take
  uint64_t first_ = 0;
  std::vector<uint64_t> bits_;
  std::unordered_set<uint64_t> set_;
};

}  // namespace

std::vector<ListedPage> PagesToRead(const PageStore& store, const DataPageList& list,
                                    TypedTableStats& stats) {
  std::vector<ListedPage> to_read;
  to_read.reserve(list.size());
  SeenPages seen(list);
  PfsAllocation allocation(store);
  uint64_t done = 0;
  for (uint64_t page_number : list) {
    ++done;
    if (!seen.Insert(page_number))
      ++stats.pagesRepeated;
    else if (!allocation.IsAllocated(page_number))
      ++stats.pagesUnallocated;
    else
      to_read.push_back({page_number, done});
  }
  return to_read;
}

namespace {

// The most text room a batch is given before it starts.
constexpr size_t kReservedText = size_t{8} << 20;

struct TypedBatchWork {
  TypedRowBatch out;
  TypedTableStats stats;  // pagesSkipped, rows, rowsRejected of the batch
  RecordingMessages messages;
  uint64_t done = 0;  // list entries done once the batch is taken
};


}  // namespace

bool ForEachTypedRowBatch(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                          const TypedRowFormatter& format, const TypedBatchSink& take,
                          TypedTableStats& stats, const PageProgress& progress,
                          const TypedBatchOptions& options) {
  std::optional<TableRecordWalk> walk;
  const DataPageList* list = StartWalk(db, version, table_id, walk, stats);
  if (!list) return false;
  const uint64_t total = list->size();
  // Which entries are read is settled first, on this thread, as the
  // one-thread walk does.
  const std::vector<ListedPage> to_read = PagesToRead(db.Store(), *list, stats);
  const size_t per_batch = std::max<size_t>(1, options.pagesPerBatch);
  const size_t batch_count = (to_read.size() + per_batch - 1) / per_batch;
  std::optional<RowTextPlan> plan;
  if (options.form) plan.emplace(*walk, *options.form);
  uint64_t reported = 0;
  const bool completed = RunOrderedBatches<TypedBatchWork>(
      batch_count, BatchThreads(options.threads, batch_count),
      [&]() -> std::function<void(size_t, TypedBatchWork&)> {
        // Each thread's page reader and row, reused from batch to batch.
        struct WorkerState {
          explicit WorkerState(const PageStore& store) : reader(store) {}
          PageListReader reader;
          std::vector<TypedValue> values;
          RowTextScratch scratch;
          std::vector<PageSlot> slots;
          size_t lastText = 0;  // the text size of the thread's batch before
        };
        auto state = std::make_shared<WorkerState>(walk->Store());
        return [&, state](size_t b, TypedBatchWork& work) {
          const size_t first = b * per_batch;
          const size_t n = std::min(per_batch, to_read.size() - first);
          std::vector<uint64_t> numbers(n);
          for (size_t i = 0; i < n; ++i) numbers[i] = to_read[first + i].page;
          work.done = to_read[first + n - 1].done;
          // Room for about as much text as the batch before (at most
          // kReservedText): the text is not copied as it grows.
          const size_t room = std::min(state->lastText, kReservedText);
          work.out.text.reserve(room + room / 8);
          // Rows the plan writes gather in the thread's scratch, appended
          // before any other text and at the batch's end.
          std::string& text = work.out.text;
          const auto on_record = [&](const TableRecord& record) {
            if (!plan || !plan->WriteGathered(record, text, state->scratch)) {
              RowTextPlan::Flush(text, state->scratch);
              if (!RecordValuesInto(walk->Store(), work.messages, *walk, record, state->values)) {
                ++work.stats.rowsRejected;
                return true;
              }
              if (KeepApart(walk->Table(), record, state->values, work.stats.suspectRows))
                return true;
              format(state->values, work.out.text);
            }
            ++work.stats.rows;
            ++work.out.rowCount;
            if (options.rowEnds)
              work.out.rowEnds.push_back(RowTextPlan::GatheredSize(text, state->scratch));
            return true;
          };
          state->reader.ForEach(numbers, [&](uint64_t page_number, const ByteView* page) {
            if (!page || WalkPageWith(*walk, *page, page_number, work.messages, state->slots,
                                      on_record, &work.stats.slotsLost) == PageWalk::kSkipped)
              ++work.stats.pagesSkipped;
            return true;
          });
          RowTextPlan::Flush(text, state->scratch);
          state->lastText = work.out.text.size();
        };
      },
      [&](size_t, TypedBatchWork& work) {
        work.messages.Replay(db.Messages());
        stats.Add(std::move(work.stats));
        if (!take(work.out)) return false;
        reported = work.done;
        if (progress) progress(reported, total);
        return true;
      });
  if (!completed) return false;
  if (progress && reported < total) progress(total, total);
  return true;
}

}  // namespace tollamer
