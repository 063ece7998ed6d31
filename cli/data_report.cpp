#include "cli/data_report.h"

#include <map>

#include "cli/cli_exit.h"
#include "cli/cli_report.h"
#include "cli/output_guard.h"
#include "cli/json.h"
#include "output/data_outcome.h"
#include "platform/file.h"

namespace tollamer::cli {

namespace {

const char* OutcomeName(TableOutcome outcome) {
  switch (outcome) {
    case TableOutcome::kComplete: return "complete";
    case TableOutcome::kShort: return "short";
    case TableOutcome::kSkipped: return "skipped";
    case TableOutcome::kFailed: return "failed";
    case TableOutcome::kInferred: return "inferred";
  }
  return "";
}

// The rows the system tables record for the table; nothing when unknown.
std::optional<uint64_t> ExpectedRows(const TableDataResult& r) { return r.catalogRows; }
// Rows written that the checks on their page flag as possibly damaged.
uint64_t SuspectRows(const TableDataResult&) { return 0; }

std::string Number(std::optional<uint64_t> n) { return n ? std::to_string(*n) : "null"; }

std::string Strings(const std::vector<std::string>& list) {
  std::string out = "[";
  for (size_t i = 0; i < list.size(); ++i) out += (i ? ", " : "") + JsonString(list[i]);
  return out + "]";
}

}  // namespace

std::vector<std::string> TableReasons(const TableDataResult& r) {
  std::vector<std::string> reasons;
  switch (OutcomeOf(r)) {
    case TableOutcome::kComplete: break;
    case TableOutcome::kShort:
      reasons.push_back(std::to_string(r.stats.rows) + " of " + std::to_string(r.catalogRows) +
                        " rows recovered");
      break;
    case TableOutcome::kSkipped: reasons.push_back("skipped: " + r.error); break;
    case TableOutcome::kFailed: reasons.push_back("failed: " + r.error); break;
    case TableOutcome::kInferred:
      reasons.push_back("column definitions lost: rows written in placeholder columns");
      break;
  }
  if (r.stats.pagesSkipped)
    reasons.push_back(std::to_string(r.stats.pagesSkipped) + " of " +
                      std::to_string(r.stats.pages) + " pages skipped");
  if (r.stats.pagesUnallocated)
    reasons.push_back(std::to_string(r.stats.pagesUnallocated) + " free pages left out");
  if (r.stats.rowsRejected)
    reasons.push_back(std::to_string(r.stats.rowsRejected) + " rows rejected");
  return reasons;
}

std::string DataReportJson(const DataRunReport& report) {
  std::map<uint32_t, uint64_t> deleted;
  if (report.deleted)
    for (const TableDataResult& d : *report.deleted) deleted[d.tableId] += d.stats.rows;
  std::optional<uint64_t> expected_total = 0;
  uint64_t suspect_total = 0;
  std::string tables;
  for (const TableDataResult& r : report.tables) {
    const std::optional<uint64_t> expected = ExpectedRows(r);
    if (!expected) expected_total.reset();
    if (expected_total) *expected_total += *expected;
    suspect_total += SuspectRows(r);
    std::optional<uint64_t> deleted_rows;
    if (report.deleted) deleted_rows = deleted.count(r.tableId) ? deleted[r.tableId] : 0;
    tables += std::string(tables.empty() ? "\n    " : ",\n    ") +
              "{\"id\": " + std::to_string(r.tableId) + ", \"name\": " + JsonString(r.tableName) +
              ", \"target\": " + (r.ok ? JsonString(r.target) : std::string("null")) +
              ", \"outcome\": " + JsonString(OutcomeName(OutcomeOf(r))) +
              ", \"written\": " + std::to_string(r.stats.rows) +
              ", \"expected\": " + Number(expected) +
              ", \"suspect\": " + std::to_string(SuspectRows(r)) +
              ", \"deleted\": " + Number(deleted_rows) +
              ", \"pages\": " + std::to_string(r.stats.pages) +
              ", \"pages_skipped\": " + std::to_string(r.stats.pagesSkipped) +
              ", \"reasons\": " + Strings(TableReasons(r)) + "}";
  }
  // Deleted rows of tables no catalog row names count in the totals only.
  std::optional<uint64_t> deleted_total;
  if (report.deleted) {
    deleted_total = 0;
    for (const TableDataResult& d : *report.deleted) *deleted_total += d.stats.rows;
  }
  const DataOutcome o = SummarizeOutcome(report.tables);
  return "{\"command\": " + JsonString(report.command) + ", \"input\": " +
         JsonString(report.input) + ", \"output\": " + JsonString(report.output) +
         ",\n  \"tables\": [" + tables + (tables.empty() ? "]" : "\n  ]") +
         ",\n  \"totals\": {\"tables\": " + std::to_string(report.tables.size()) +
         ", \"written\": " + std::to_string(o.rows) + ", \"expected\": " + Number(expected_total) +
         ", \"missing\": " + std::to_string(o.rowsMissing) +
         ", \"suspect\": " + std::to_string(suspect_total) +
         ", \"deleted\": " + Number(deleted_total) + ", \"complete\": " +
         std::to_string(o.complete) + ", \"short\": " + std::to_string(o.shortTables) +
         ", \"skipped\": " + std::to_string(o.skipped) + ", \"failed\": " +
         std::to_string(o.failed) + ", \"inferred\": " + std::to_string(o.inferred) + "}" +
         ",\n  \"exit_code\": " + std::to_string(report.exitCode) +
         ", \"exit_reasons\": " + Strings(report.exitReasons) + "}\n";
}

bool WriteDataReport(const DataRunReport& report, const std::string& path) {
  const std::string json = DataReportJson(report);
  platform::CreateResult out = platform::CreateOutputFile(path);
  if (!out.file ||
      !out.file->Write({reinterpret_cast<const uint8_t*>(json.data()), json.size()}) ||
      !out.file->Commit()) {
    Error("cannot write the report %s: %s\n", path.c_str(),
          out.file ? out.file->Error().c_str() : out.message.c_str());
    return false;
  }
  return true;
}

int FinishDataReport(DataRunReport& report, int exit_code, const std::string& path) {
  if (path.empty()) return exit_code;
  report.exitCode = exit_code;
  report.exitReasons = ErrorsOfRun();
  if (WriteDataReport(report, path)) return exit_code;
  return exit_code == kExitComplete ? kExitCannotRead : exit_code;
}

bool RefuseReportPath(const std::string& input, const std::string& path, bool force) {
  if (path.empty()) return false;
  return RefuseOutputOverInput(input, path) || RefuseExisting(FirstExistingPath({path}), force);
}

}  // namespace tollamer::cli
