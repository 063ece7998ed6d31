// The rows of many tables in one walk over the file. Each table is first
// prepared (its data page list found or built, pages named twice or marked
// free by the PFS left out, as ForEachTypedRow does); then the pages of all
// the tables are read once each in ascending page number, a batch of pages
// at a time on worker threads, and each page's records are decoded for the
// table whose list names it (for each, when several lists name a page).
// The calling thread receives every table's rows in that table's list order
// provided the list names its pages in ascending order (InFileOrder); a
// table whose list goes back in the file (a heap read in its page chain
// order, single pages after extents) must be walked on its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/typed_rows.h"

namespace tollamer {

struct PreparedRows {
  uint32_t tableId = 0;
  std::optional<TableRecordWalk> walk;
  std::vector<uint64_t> pages;  // to read, in list order
  // Per page to read, the list entries done once it is read (progress).
  std::vector<uint64_t> entriesDone;
  TypedTableStats stats;  // list fields now; the walk adds rows and skipped pages
  RecordingMessages said;  // what the walk of this table said, in its order

  bool InFileOrder() const;
};

// Before the page lists of many tables are built (PrepareTypedRows, table
// after table; a SQL Server 2000 file builds them so): when at least
// kTablesForKindPass of `table_ids` have no list yet, the kinds of the
// file's pages are noted in one pass in file order (page_kinds.h), so that
// building the lists asks no page header of the disk.
inline constexpr size_t kTablesForKindPass = 16;
void PrepareManyTables(CMdfDatabase& db, std::span<const uint32_t> table_ids);

// False (nothing to walk) when the table is unknown or has no page list.
bool PrepareTypedRows(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                      PreparedRows& out);

// One table's rows from one batch of pages: text made by the table's
// formatter, or (without a formatter) the rows' values.
struct TableRowsPiece {
  TypedRowBatch batch;
  std::vector<std::vector<TypedValue>> values;
};

struct FileOrderTable {
  PreparedRows* rows = nullptr;  // prepared, InFileOrder()
  TypedRowFormatter format;      // runs on worker threads; empty: values
  const TextForm* form = nullptr;  // `format`'s form (TypedBatchOptions::form)
  bool rowEnds = false;            // fill the pieces' TypedRowBatch::rowEnds
};

// `take(i, piece)` on the calling thread, each table's pieces in its list
// order; false stops the walk. Each table's stats and messages are added up
// in its PreparedRows. Progress counts pages of the walk. Returns false
// when `take` stopped it.
using TableRowsSink = std::function<bool(size_t table, TableRowsPiece& piece)>;
bool ForEachTypedRowInFileOrder(const std::vector<FileOrderTable>& tables,
                                const TableRowsSink& take, const PageProgress& progress = {},
                                const TypedBatchOptions& options = {});

}  // namespace tollamer
