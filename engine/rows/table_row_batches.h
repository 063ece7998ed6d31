// Every row of a table as text, decoded on worker threads. The table's
// data page list is cut into batches of consecutive entries; a worker
// reads a batch (consecutive pages in one read), turns each row's grid
// texts into output text with `format`, and the calling thread hands the
// batches to `emit` in list order. The text is byte for byte what a walk on
// one thread gives, and messages raised while decoding (a page with bad
// compression information) reach the database's messages from the calling
// thread, in the order that walk would show them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"

namespace tollamer {

inline constexpr size_t kPagesPerRowBatch = 64;

// Appends one row (one grid text per column, ascending column id) to `out`.
// Called on worker threads: it must not touch shared state.
using RowTextFormatter = std::function<void(const std::vector<std::string>& row, std::string& out)>;
// One batch's text and its row count; returns false to stop.
using RowBatchSink = std::function<bool(const std::string& text, uint64_t rows)>;

struct RowBatchOptions {
  unsigned threads = 0;        // decoding threads; 0: one per core (at most 4)
  size_t pagesPerBatch = kPagesPerRowBatch;
};

// False when the table or its page list cannot be had, or `emit` stopped.
bool ForEachTableRowBatch(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                          const RowTextFormatter& format, const RowBatchSink& emit,
                          const RowBatchOptions& options = {});

}  // namespace tollamer
