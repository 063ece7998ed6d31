#include "engine/rows/table_row_batches.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/pagestore/page_list_reader.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/table_rows_text.h"

namespace tollamer {

namespace {

constexpr unsigned kMaxThreads = 4;
// Batches decoded ahead of the one being emitted, per thread: enough to
// keep every worker busy while the caller writes, few enough that memory
// stays a few MiB whatever the table's size.
constexpr size_t kBatchesAheadPerThread = 2;

struct Batch {
  std::string text;
  uint64_t rows = 0;
  RecordingMessages messages;  // what the walk of its pages said, in order
  bool done = false;
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

void Replay(const RecordingMessages& from, EngineMessages& to) {
  for (const std::string& text : from.stops) to.ShowStop(text);
}

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
  auto batch_pages = [&](size_t b) {
    const size_t first = b * per_batch;
    return pages.subspan(first, std::min(per_batch, pages.size() - first));
  };
  unsigned threads = options.threads ? options.threads : std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, kMaxThreads);
  if (threads > batch_count) threads = static_cast<unsigned>(std::max<size_t>(batch_count, 1));

  if (threads == 1) {
    BatchDecoder decoder(*walk, format);
    for (size_t b = 0; b < batch_count; ++b) {
      Batch batch;
      decoder.Decode(batch_pages(b), batch);
      Replay(batch.messages, db.Messages());
      if (!emit(batch.text, batch.rows)) return false;
    }
    return true;
  }

  // Batch b lives in slots[b - emitted] until the caller has emitted it.
  const size_t ahead = threads * kBatchesAheadPerThread;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Batch> slots;
  size_t emitted = 0;  // batches handed to `emit`
  size_t next = 0;     // next batch a worker takes
  bool stop = false;

  auto work = [&] {
    BatchDecoder decoder(*walk, format);
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || next >= batch_count || next < emitted + ahead; });
      if (stop || next >= batch_count) return;
      const size_t b = next++;
      while (slots.size() <= b - emitted) slots.emplace_back();
      Batch local;
      lock.unlock();
      decoder.Decode(batch_pages(b), local);
      lock.lock();
      local.done = true;
      slots[b - emitted] = std::move(local);
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);

  bool completed = true;
  for (size_t b = 0; b < batch_count; ++b) {
    Batch batch;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return !slots.empty() && slots.front().done; });
      batch = std::move(slots.front());
      slots.pop_front();
      ++emitted;
      changed.notify_all();
    }
    Replay(batch.messages, db.Messages());
    if (!emit(batch.text, batch.rows)) {
      completed = false;
      break;
    }
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  for (std::thread& t : workers) t.join();
  return completed;
}

}  // namespace tollamer
