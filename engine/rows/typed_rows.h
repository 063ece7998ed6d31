// Every row of a table as typed values, for export and import: the same
// records in the same order as the grid, with a count of the data pages
// that could not be read or were not accepted, so that a damaged table
// gives the rows of the pages that decode and says what it lost. A page
// the list names more than once is read once; a listed page that the PFS
// marks as not allocated (a free page of one of the table's extents) holds
// stale rows and is left out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

struct TextForm;

// A row kept out of the good ones: its values (a value that could not be
// read is NULL), where it lies and why it is not trusted.
struct SuspectRow {
  std::vector<TypedValue> values;
  uint64_t page = 0;
  uint16_t slot = 0;
  const char* reason = nullptr;  // page_suspicion.h
};

struct TypedTableStats {
  bool listed = false;        // the table has a data page list
  uint64_t pages = 0;         // entries of the list
  uint64_t pagesSkipped = 0;  // unreadable, not a data page of the table, bad compression
  uint64_t pagesRepeated = 0;  // list entries naming a page already read
  uint64_t pagesUnallocated = 0;  // pages the PFS marks free: stale rows, left out
  uint64_t rows = 0;          // rows handed to the visitor
  uint64_t rowsRejected = 0;  // compressed records that did not decode
  uint64_t slotsLost = 0;     // slots of read pages whose records could not be decoded
  // Rows of damaged pages, and rows with a value that could not be read:
  // not handed to the visitor nor counted in `rows`.
  std::vector<SuspectRow> suspectRows;

  // What a walk of part of the list found, added to this.
  void Add(TypedTableStats&& part);
};

// True when the record's row is kept apart (moved into `suspect`): its page
// or its own bytes are suspect, or a text/image or off-row value of it could
// not be read (the lost value becomes NULL).
bool KeepApart(const TableInfo& table, const TableRecord& record, std::vector<TypedValue>& values,
               std::vector<SuspectRow>& suspect);

// One value per table column in ascending column id. Returns false to stop.
using TypedRowVisitor = std::function<bool(const std::vector<TypedValue>&)>;
// Called after each data page with (pages done, pages in the list).
using PageProgress = std::function<void(uint64_t, uint64_t)>;

// False when the table is unknown, has no page list, or the visitor stopped.
bool ForEachTypedRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                     const TypedRowVisitor& visit, TypedTableStats& stats,
                     const PageProgress& progress = {});

// A listed page to read and the count of list entries done after it.
struct ListedPage {
  uint64_t page = 0;
  uint64_t done = 0;
};
// The entries of `list` a walk reads, in list order. A page the list names
// again (an allocation page and a single-page slot both naming it) would
// give its rows twice, and a page of an allocated extent that the PFS marks
// free keeps stale rows: both are left out and counted in `stats`.
std::vector<ListedPage> PagesToRead(const PageStore& store, const DataPageList& list,
                                    TypedTableStats& stats);

// The same rows decoded on worker threads, a batch of listed pages at a
// time, handed back in list order on the calling thread (messages too, in
// the order one thread would raise them). A worker appends each row to the
// batch's text with `format` and keeps no values; `format` runs on worker
// threads: it must not touch shared state. Progress comes per batch.
struct TypedRowBatch {
  std::string text;
  uint64_t rowCount = 0;
  // With TypedBatchOptions::rowEnds: where each row's text ends.
  std::vector<size_t> rowEnds;
};
using TypedRowFormatter = std::function<void(const std::vector<TypedValue>&, std::string&)>;
// Returns false to stop.
using TypedBatchSink = std::function<bool(const TypedRowBatch&)>;

struct TypedBatchOptions {
  unsigned threads = 0;  // 0: one per core (at most 4)
  size_t pagesPerBatch = 64;
  // The form `format` writes in: sound rows are then written straight from
  // their records by the table's plan (row_text_plan.h), the others by
  // `format` from their values, byte for byte the same text.
  const TextForm* form = nullptr;
  bool rowEnds = false;  // fill TypedRowBatch::rowEnds
};

bool ForEachTypedRowBatch(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                          const TypedRowFormatter& format, const TypedBatchSink& take,
                          TypedTableStats& stats, const PageProgress& progress = {},
                          const TypedBatchOptions& options = {});

}  // namespace tollamer
