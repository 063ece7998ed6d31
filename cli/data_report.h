// `--report FILE` of export-data and import: the run as one JSON object.
//
//   {"command": "export-data", "input": "...", "output": "...",
//    "tables": [{"id": 5, "name": "dbo.sales", "target": "..." | null,
//                "outcome": "complete" | "short" | "skipped" | "failed" | "inferred",
//                "written": 21, "expected": 21 | null, "suspect": 0,
//                "deleted": 3 | null, "pages": 2, "pages_skipped": 0,
//                "reasons": ["..."]}, ...],
//    "totals": {"tables": 11, "written": 255, "expected": 255 | null,
//               "missing": 0, "suspect": 0, "deleted": 3 | null, "complete": 11,
//               "short": 0, "skipped": 0, "failed": 0, "inferred": 0},
//    "exit_code": 0, "exit_reasons": ["..."]}
//
// "target" is the file or table written (null when none was);
// "expected" is the row count the system tables record, null where it is
// unknown; "deleted" counts the deleted rows written with --deleted (null
// without). The figures are those of the summary on stderr: the same
// outcomes (output/data_outcome.h), and the exit reasons are the run's
// error lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/data_export.h"

namespace tollamer::cli {

struct DataRunReport {
  std::string command;  // "export-data" or "import"
  std::string input;
  std::string output;   // the folder or the import target
  std::vector<TableDataResult> tables;
  // With --deleted: the deleted rows' outcomes, matched to the tables by id.
  std::optional<std::vector<TableDataResult>> deleted;
  int exitCode = 0;
  std::vector<std::string> exitReasons;
};

// The reasons a table's outcome gives, in words: short, skipped, failed,
// placeholder columns, pages skipped or left out, rows rejected.
std::vector<std::string> TableReasons(const TableDataResult& result);

std::string DataReportJson(const DataRunReport& report);

// Writes the report to `path` (temporary name, then renamed). False, after
// a line on stderr, when it cannot be written.
bool WriteDataReport(const DataRunReport& report, const std::string& path);

// The end of a data command with `--report path` (none when empty): the
// exit code and the run's errors go into the report, which is written.
// Returns the exit code, 1 when it was 0 and the report could not be
// written.
int FinishDataReport(DataRunReport& report, int exit_code, const std::string& path);

// Before anything is written: true (after a line on stderr) when the report
// path is the input, or exists and `force` is not given.
bool RefuseReportPath(const std::string& input, const std::string& path, bool force);

}  // namespace tollamer::cli
