#include "output/data_outcome.h"

#include "engine/pagestore/page_address.h"

namespace tollamer {

uint64_t RowsShort(const TableDataResult& r) {
  return r.stats.rows < r.catalogRows ? *r.catalogRows - r.stats.rows : 0;
}

bool PagesLost(const TableDataResult& r) {
  return r.stats.pagesSkipped != 0 || r.stats.slotsLost != 0 || r.stats.rowsRejected != 0;
}

TableOutcome OutcomeOf(const TableDataResult& r) {
  if (r.skipped) return TableOutcome::kSkipped;
  if (!r.ok) return TableOutcome::kFailed;
  // The pages judge: a page not read, a slot not decoded or a row kept
  // apart is a loss whatever the catalog counts; a count above the rows
  // read is one more witness.
  if (RowsShort(r) != 0 || PagesLost(r) || !r.stats.suspectRows.empty())
    return TableOutcome::kShort;
  if (r.columnsInferred) return TableOutcome::kInferred;
  return TableOutcome::kComplete;
}

DataOutcome SummarizeOutcome(const std::vector<TableDataResult>& results) {
  DataOutcome out;
  for (const TableDataResult& r : results) {
    out.rows += r.stats.rows;
    switch (OutcomeOf(r)) {
      case TableOutcome::kComplete: ++out.complete; break;
      case TableOutcome::kShort:
        ++out.shortTables;
        out.rowsMissing += RowsShort(r);
        out.rowsSuspect += r.stats.suspectRows.size();
        break;
      case TableOutcome::kSkipped: ++out.skipped; break;
      case TableOutcome::kFailed: ++out.failed; break;
      case TableOutcome::kInferred: ++out.inferred; break;
    }
  }
  return out;
}

std::string OutcomeLine(const TableDataResult& r) {
  const std::string name = r.tableName.empty() ? std::to_string(r.tableId) : r.tableName;
  switch (OutcomeOf(r)) {
    case TableOutcome::kComplete: return {};
    case TableOutcome::kShort: {
      std::string line = name + ": " + std::to_string(r.stats.rows) + " rows recovered";
      if (r.catalogRows) line += " of " + std::to_string(*r.catalogRows) + " counted";
      std::string lost;
      auto add = [&lost](uint64_t n, const char* what) {
        if (n) lost += (lost.empty() ? "" : ", ") + std::to_string(n) + " " + what;
      };
      const std::string kept = r.suspectTarget.empty() ? std::string("suspect rows left out")
                                                       : "suspect rows kept apart in " + r.suspectTarget;
      add(r.stats.suspectRows.size(), kept.c_str());
      add(r.stats.pagesSkipped, "pages unreadable");
      add(r.stats.slotsLost, "records undecodable");
      add(r.stats.rowsRejected, "rows rejected");
      return lost.empty() ? line : line + " (" + lost + ")";
    }
    case TableOutcome::kSkipped: return name + ": skipped (" + r.error + ")";
    case TableOutcome::kFailed: return name + ": failed (" + r.error + ")";
    case TableOutcome::kInferred:
      return name + ": its column definitions are lost: rows written as raw bytes in placeholder "
                    "columns";
  }
  return {};
}

std::string CatalogDamageText(const Catalog& catalog) {
  const std::vector<uint64_t>& pages = catalog.damagedPages;
  if (pages.empty()) return {};
  constexpr size_t kNamed = 8;
  std::string named;
  for (size_t i = 0; i < pages.size() && i < kNamed; ++i) named += (i ? ", " : "") + PageKeyText(pages[i]);
  if (pages.size() > kNamed) named += ", ...";
  const bool one = pages.size() == 1;
  return "the catalog was read from " + std::to_string(pages.size()) + (one ? " damaged page (" : " damaged pages (") +
         named + "): names, columns and definitions taken from " + (one ? "it" : "them") + " may be wrong";
}

std::string PageCheckLine(const PageCheckFailures& checks) {
  const size_t sums = checks.Count(PageCheck::kChecksumFails);
  const size_t torn = checks.Count(PageCheck::kTorn);
  if (sums + torn == 0) return {};
  return std::to_string(sums) + " page(s) read fail their checksum, " + std::to_string(torn) +
         " torn";
}

}  // namespace tollamer
