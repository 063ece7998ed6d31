// Work cut into numbered batches, done on worker threads and handed back
// in number order on the calling thread: the order of a one-thread loop
// with the speed of several. At most `ahead` batches wait to be handed
// back, so memory stays bounded whatever the number of batches.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tollamer {

inline constexpr unsigned kMaxBatchThreads = 4;

// The threads to use: `asked`, or one per core when 0, at most
// kMaxBatchThreads and at most one per batch.
inline unsigned BatchThreads(unsigned asked, size_t batches) {
  unsigned threads = asked ? asked : std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, kMaxBatchThreads);
  if (threads > batches) threads = static_cast<unsigned>(std::max<size_t>(batches, 1));
  return threads;
}

// `make_worker()` is called once per thread (on that thread) and gives the
// function that fills batch b; it may keep state of its own. `take(b,
// batch)` runs on the calling thread in order 0, 1, 2...; false stops the
// work. Returns false when `take` stopped it. With one thread everything
// runs on the calling thread.
template <typename Batch>
bool RunOrderedBatches(size_t count, unsigned threads,
                       const std::function<std::function<void(size_t, Batch&)>()>& make_worker,
                       const std::function<bool(size_t, Batch&)>& take) {
  if (threads <= 1) {
    std::function<void(size_t, Batch&)> fill = make_worker();
    for (size_t b = 0; b < count; ++b) {
      Batch batch;
      fill(b, batch);
      if (!take(b, batch)) return false;
    }
    return true;
  }
  struct Slot {
    Batch batch;
    bool done = false;
  };
  const size_t ahead = size_t{threads} * 2;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Slot> slots;  // batch `handed + i` in slots[i]
  size_t handed = 0;
  size_t next = 0;
  bool stop = false;

  auto work = [&] {
    std::function<void(size_t, Batch&)> fill = make_worker();
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || next >= count || next < handed + ahead; });
      if (stop || next >= count) return;
      const size_t b = next++;
      while (slots.size() <= b - handed) slots.emplace_back();
      Slot local;
      lock.unlock();
      fill(b, local.batch);
      lock.lock();
      local.done = true;
      slots[b - handed] = std::move(local);
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);

  bool completed = true;
  for (size_t b = 0; b < count && completed; ++b) {
    Slot slot;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return !slots.empty() && slots.front().done; });
      slot = std::move(slots.front());
      slots.pop_front();
      ++handed;
      changed.notify_all();
    }
    completed = take(b, slot.batch);
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
