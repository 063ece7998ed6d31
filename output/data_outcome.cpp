#include "output/data_outcome.h"

namespace tollamer {

TableOutcome OutcomeOf(const TableDataResult& r) {
  if (r.skipped) return TableOutcome::kSkipped;
  if (!r.ok) return TableOutcome::kFailed;
  if (r.stats.rows < r.catalogRows) return TableOutcome::kShort;
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
        out.rowsMissing += r.catalogRows - r.stats.rows;
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
    case TableOutcome::kShort:
      return name + ": " + std::to_string(r.stats.rows) + " of " + std::to_string(r.catalogRows) +
             " rows recovered";
    case TableOutcome::kSkipped: return name + ": skipped (" + r.error + ")";
    case TableOutcome::kFailed: return name + ": failed (" + r.error + ")";
    case TableOutcome::kInferred:
      return name + ": its column definitions are lost: rows written as raw bytes in placeholder "
                    "columns";
  }
  return {};
}

}  // namespace tollamer
