#include "engine/rows/file_order_rows.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "engine/pagestore/page_list_reader.h"
#include "engine/rows/ordered_batches.h"
#include "engine/rows/row_text_plan.h"
#include "engine/rows/typed_decode.h"

namespace tollamer {

bool PreparedRows::InFileOrder() const {
  return std::adjacent_find(pages.begin(), pages.end(), std::greater_equal<uint64_t>()) ==
         pages.end();
}

void PrepareManyTables(CMdfDatabase& db, std::span<const uint32_t> table_ids) {
  const size_t unlisted = static_cast<size_t>(std::count_if(
      table_ids.begin(), table_ids.end(),
      [&](uint32_t id) { return !db.dataPageLists.contains(id); }));
  if (unlisted >= kTablesForKindPass) db.Store().NotePageKinds();
}

bool PrepareTypedRows(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                      PreparedRows& out) {
  out.tableId = table_id;
  out.stats = {};
  out.walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!out.walk) return false;
  const DataPageList* list = out.walk->FindPages();
  if (!list) return false;
  out.stats.listed = true;
  out.stats.pages = list->size();
  for (const ListedPage& entry : PagesToRead(db.Store(), *list, out.stats)) {
    out.pages.push_back(entry.page);
    out.entriesDone.push_back(entry.done);
  }
  return true;
}

namespace {

// A page of the walk and the table whose list names it.
struct WalkEntry {
  uint64_t page = 0;
  uint32_t table = 0;
  auto operator<=>(const WalkEntry&) const = default;
};

struct Piece {
  size_t table = 0;
  TableRowsPiece rows;
  TypedTableStats stats;  // pagesSkipped, rows, rowsRejected, slotsLost, suspectRows
  RecordingMessages messages;
};

// The most text room made for a piece before its rows are formatted.
constexpr size_t kReservedPieceText = size_t{8} << 20;
// How many batches ahead of the decoding the system reads.
constexpr size_t kBatchesToldAhead = 4;

struct FileOrderWork {
  std::vector<Piece> pieces;  // in order of each table's first page in the batch
};

}  // namespace

bool ForEachTypedRowInFileOrder(const std::vector<FileOrderTable>& tables,
                                const TableRowsSink& take, const PageProgress& progress,
                                const TypedBatchOptions& options) {
  std::vector<WalkEntry> entries;
  for (size_t t = 0; t < tables.size(); ++t)
    for (uint64_t page : tables[t].rows->pages) entries.push_back({page, static_cast<uint32_t>(t)});
  std::sort(entries.begin(), entries.end());
  // Batches of up to pagesPerBatch distinct pages; the entries of one page
  // stay in one batch.
  const size_t per_batch = std::max<size_t>(1, options.pagesPerBatch);
  std::vector<size_t> starts;
  for (size_t i = 0, distinct = 0; i < entries.size(); ++i) {
    const bool new_page = i == 0 || entries[i].page != entries[i - 1].page;
    if (new_page && distinct % per_batch == 0) starts.push_back(i);
    if (new_page) ++distinct;
  }
  starts.push_back(entries.size());
  const size_t batch_count = starts.size() - 1;
  if (batch_count == 0) return true;
  const PageStore& store = tables.front().rows->walk->Store();
  const size_t total = entries.size();
  const auto pages_of = [&](size_t b) {
    std::vector<uint64_t> numbers;
    for (size_t i = starts[b]; i < starts[b + 1]; ++i)
      if (numbers.empty() || numbers.back() != entries[i].page) numbers.push_back(entries[i].page);
    return numbers;
  };
  // The system is told of the pages of the batches after the one a worker
  // starts, so that it reads them while this one is decoded.
  std::atomic<size_t> told{0};  // the batches below it were told of
  const auto tell_ahead = [&](size_t b) {
    const size_t want = std::min(batch_count, b + 1 + kBatchesToldAhead);
    size_t from = told.load();
    while (from < want && !told.compare_exchange_weak(from, want)) {
    }
    for (size_t k = from; k < want; ++k) store.WillRead(pages_of(k));
  };
  // Each table's plan, worked out once.
  std::vector<std::optional<RowTextPlan>> plans(tables.size());
  for (size_t t = 0; t < tables.size(); ++t)
    if (tables[t].form && tables[t].format) plans[t].emplace(*tables[t].rows->walk, *tables[t].form);

  return RunOrderedBatches<FileOrderWork>(
      batch_count, BatchThreads(options.threads, batch_count),
      [&]() -> std::function<void(size_t, FileOrderWork&)> {
        // Each thread's page reader, and the text its last piece made per
        // page: each new piece's text gets about as much room for its pages
        // (at most kReservedPieceText), so that it is not copied as it grows.
        struct WorkerState {
          explicit WorkerState(const PageStore& s) : reader(s) {}
          PageListReader reader;
          size_t textPerPage = 0;
          RowTextScratch scratch;
        };
        auto state = std::make_shared<WorkerState>(store);
        return [&, state](size_t b, FileOrderWork& work) {
          PageListReader* const reader = &state->reader;
          tell_ahead(b);
          const std::vector<uint64_t> numbers = pages_of(b);
          std::vector<size_t> piece_of(tables.size(), SIZE_MAX);
          // One row's values, decoded record after record into the same
          // buffers while the rows are formatted at once.
          std::vector<TypedValue> values;
          size_t next = starts[b];
          reader->ForEach(numbers, [&](uint64_t page_number, const ByteView* page) {
            for (; next < starts[b + 1] && entries[next].page == page_number; ++next) {
              const size_t t = entries[next].table;
              if (piece_of[t] == SIZE_MAX) {
                piece_of[t] = work.pieces.size();
                Piece& made = work.pieces.emplace_back();
                made.table = t;
                if (tables[t].format && state->textPerPage != 0) {
                  const size_t pages = static_cast<size_t>(std::count_if(
                      entries.begin() + static_cast<ptrdiff_t>(next),
                      entries.begin() + static_cast<ptrdiff_t>(starts[b + 1]),
                      [&](const WalkEntry& e) { return e.table == t; }));
                  const size_t room = std::min(pages * state->textPerPage, kReservedPieceText);
                  made.rows.batch.text.reserve(room + room / 8);
                }
              }
              Piece& piece = work.pieces[piece_of[t]];
              const FileOrderTable& table = tables[t];
              const TableRecordWalk& walk = *table.rows->walk;
              const std::optional<RowTextPlan>& plan = plans[t];
              TypedRowBatch& batch = piece.rows.batch;
              const RecordVisitor on_record = [&](const TableRecord& record) {
                if (!plan || !plan->Write(record, batch.text, state->scratch)) {
                  if (!RecordValuesInto(walk.Store(), piece.messages, walk, record, values)) {
                    ++piece.stats.rowsRejected;
                    return true;
                  }
                  if (KeepApart(walk.Table(), record, values, piece.stats.suspectRows))
                    return true;
                  if (table.format)
                    table.format(values, batch.text);
                  else
                    piece.rows.values.push_back(std::move(values));
                }
                ++piece.stats.rows;
                ++batch.rowCount;
                if (table.rowEnds) batch.rowEnds.push_back(batch.text.size());
                return true;
              };
              if (!page || walk.WalkPage(*page, page_number, piece.messages, on_record,
                                         &piece.stats.slotsLost) ==
                               TableRecordWalk::PageWalk::kSkipped)
                ++piece.stats.pagesSkipped;
            }
            return true;
          });
          size_t text = 0;
          for (const Piece& piece : work.pieces) text += piece.rows.batch.text.size();
          if (!numbers.empty()) state->textPerPage = text / numbers.size();
        };
      },
      [&](size_t b, FileOrderWork& work) {
        for (Piece& piece : work.pieces) {
          PreparedRows& rows = *tables[piece.table].rows;
          piece.messages.Replay(rows.said);
          rows.stats.Add(std::move(piece.stats));
          if (!take(piece.table, piece.rows)) return false;
        }
        if (progress) progress(starts[b + 1], total);
        return true;
      });
}

}  // namespace tollamer
