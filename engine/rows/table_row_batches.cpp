#include "engine/rows/table_row_batches.h"

#include <algorithm>
#include <memory>

#include "engine/pagestore/page_list_reader.h"
#include "engine/rows/ordered_batches.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/table_rows_text.h"

namespace tollamer {

namespace {

struct Batch {
  std::string text;
  uint64_t rows = 0;
  RecordingMessages messages;  // what the walk of its pages said, in order
};

// Decodes the list entries of one batch; each worker has its own reader,
// row buffer and messages, and touches nothing shared but the page store
// (positioned reads only).
class BatchDecoder {
 public:
  BatchDecoder(const TableRecordWalk& walk, const RowTextFormatter& format)
      : walk_(walk), format_(format), reader_(walk.Store()) {}

  void Decode(std::span<const uint64_t> pages, Batch& batch) {
    reader_.ForEach(pages, [&](uint64_t page_number, const ByteView* page) {
      if (!page) return true;
      walk_.WalkPage(*page, page_number, batch.messages, [&](const TableRecord& record) {
        if (RecordTexts(walk_.Store(), batch.messages, walk_, record, row_)) {
          format_(row_, batch.text);
          ++batch.rows;
        }
        return true;
      });
      return true;
    });
  }

 private:
  const TableRecordWalk& walk_;
  const RowTextFormatter& format_;
  PageListReader reader_;
  std::vector<std::string> row_;
};

}  // namespace

bool ForEachTableRowBatch(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                          const RowTextFormatter& format, const RowBatchSink& emit,
                          const RowBatchOptions& options) {
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!walk) return false;
  const DataPageList* list = walk->FindPages();
  if (!list) return false;
  const std::span<const uint64_t> pages(*list);
  const size_t per_batch = std::max<size_t>(1, options.pagesPerBatch);
  const size_t batch_count = (pages.size() + per_batch - 1) / per_batch;
  return RunOrderedBatches<Batch>(
      batch_count, BatchThreads(options.threads, batch_count),
      [&]() -> std::function<void(size_t, Batch&)> {
        auto decoder = std::make_shared<BatchDecoder>(*walk, format);
        return [&, decoder](size_t b, Batch& batch) {
          const size_t first = b * per_batch;
          decoder->Decode(pages.subspan(first, std::min(per_batch, pages.size() - first)), batch);
        };
      },
      [&](size_t, Batch& batch) {
        batch.messages.Replay(db.Messages());
        return emit(batch.text, batch.rows);
      });
}

}  // namespace tollamer
