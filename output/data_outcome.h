// How complete an export or import of table rows came out, judged from the
// pages: a table is short when a page of its list could not be read, a
// slot not decoded, a row was kept apart as suspect, or fewer rows came
// out than the system tables record for it; skipped when nothing could be
// written for it (no columns or no data pages known), failed when its
// output could not be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_check.h"
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
  uint64_t rowsSuspect = 0;  // rows kept apart from the good ones (suspect_rows.h)

  bool Complete() const { return shortTables == 0 && skipped == 0 && failed == 0 && inferred == 0; }
};

DataOutcome SummarizeOutcome(const std::vector<TableDataResult>& results);

// "dbo.publishers: 3 rows recovered of 8 counted (2 pages unreadable)" (short), "dbo.titles: skipped (no columns
// known)", "dbo.sales: failed (...)"; empty for a complete table.
std::string OutcomeLine(const TableDataResult& result);

// "the catalog was read from 1 damaged page (116): names, columns and
// definitions taken from it may be wrong"; empty when none was damaged.
std::string CatalogDamageText(const Catalog& catalog);

// "2 page(s) read fail their checksum, 0 torn"; empty when none failed.
std::string PageCheckLine(const PageCheckFailures& checks);

}  // namespace tollamer
