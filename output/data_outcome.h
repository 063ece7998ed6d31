// How complete an export or import of table rows came out, judged against
// the catalog: a table is short when fewer rows came out than the system
// tables record for it, skipped when nothing could be written for it (no
// columns or no data pages known), failed when its output could not be
// written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output/data_export.h"

namespace tollamer {

// kInferred: every row came out, but in placeholder columns read off the
// records, the column definitions being lost.
enum class TableOutcome { kComplete, kShort, kSkipped, kFailed, kInferred };

TableOutcome OutcomeOf(const TableDataResult& result);

struct DataOutcome {
  size_t complete = 0;
  size_t shortTables = 0;  // rows written, fewer than the catalog counts
  size_t skipped = 0;
  size_t failed = 0;
  size_t inferred = 0;
  uint64_t rows = 0;         // rows written
  uint64_t rowsMissing = 0;  // catalog rows that did not come out (short tables)

  bool Complete() const { return shortTables == 0 && skipped == 0 && failed == 0 && inferred == 0; }
};

DataOutcome SummarizeOutcome(const std::vector<TableDataResult>& results);

// "dbo.publishers: 3 of 8 rows" (short), "dbo.titles: skipped (no columns
// known)", "dbo.sales: failed (...)"; empty for a complete table.
std::string OutcomeLine(const TableDataResult& result);

}  // namespace tollamer
