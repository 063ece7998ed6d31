#include "cli/export_data_command.h"


#include <cstdio>
#include <filesystem>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "cli/data_report.h"
#include "cli/output_guard.h"
#include "output/deleted_export.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace tollamer::cli {

namespace {

int ExportData(const ExportDataOptions& options, DataRunReport& report) {
  DataFormat format;
  if (options.format == "csv") {
    format = DataFormat::kCsv;
  } else if (options.format == "sql") {
    format = DataFormat::kSql;
  } else {
    Error("unknown format %s (csv or sql)\n", options.format.c_str());
    return kExitUsage;
  }
  TableChoice choice = options.choice;
  std::string schema_file = options.schemaFile;
  // A secondary file alone is read with the tables of a schema given: its
  // pages' owners are matched to them by record shape, as dropped tables'.
  DatabaseFiles files = options.files;
  const bool secondary = files.paths.size() == 1 && IsSecondaryDataFile(files.paths.front());
  TakeOldSchemaFileSpelling(choice, schema_file, options.deleted || secondary);
  files.store.secondaryAlone = secondary && !schema_file.empty();
  const bool deleted = options.deleted || files.store.secondaryAlone;
  std::optional<std::vector<TableInfo>> described = ReadSchemaFile(schema_file);
  if (!described) return kExitUsage;
  // "--out -": the one table named goes to stdout; the report to stderr.
  const bool to_stdout = options.outDir == platform::kStandardOutputName;
  if (to_stdout) {
    if (choice.tables.size() != 1 || deleted) {
      Error("--out - writes one table, named with --table, without --deleted\n");
      return kExitUsage;
    }
    if (RefuseStdoutOverInput(options.files)) return kExitUsage;
  } else {
    if (RefuseOutputOverInput(options.files, options.outDir)) return kExitUsage;
    std::error_code ec;
    std::filesystem::create_directories(platform::PathFromUtf8(options.outDir), ec);
    if (!std::filesystem::is_directory(platform::PathFromUtf8(options.outDir), ec)) {
      Error("%s is not a folder\n", options.outDir.c_str());
      return kExitCannotRead;
    }
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  int exit_code = 0;
  std::optional<DataCommandInput> input =
      OpenForDataCommand(db, files, options.version, choice, exit_code);
  if (!input) return exit_code;
  std::vector<TableDataResult>& results = report.tables;
  if (to_stdout) {
    std::fflush(stdout);
    results.push_back(ExportTableData(db, input->version, input->tables.front(), format,
                                      platform::kStandardOutputName, TerminalProgress(true)));
    return ReportResults(results, "written", *input, true, &db.Store().CheckFailures());
  }
  const DataOutputs outputs{input->tables, !choice.Narrowed(), deleted, *described};
  if (RefuseExisting(FirstExistingExportFile(db, outputs, format, options.outDir), options.force))
    return kExitUsage;
  results = ExportTablesData(db, input->version, input->tables, format, options.outDir,
                             TerminalProgress());
  const int live = ReportResults(results, "written", *input, false, &db.Store().CheckFailures());
  if (!deleted) return live;
  report.deleted = ExportDeletedRows(
      db, input->version, choice.Narrowed() ? input->tables : std::vector<uint32_t>{},
      options.outDir, DeletedProgress(), {true, std::move(*described)});
  const int deleted_exit = ReportDeleted(*report.deleted);
  return live != kExitComplete ? live : deleted_exit;
}

}  // namespace

int RunExportData(const ExportDataOptions& options) {
  for (const std::string& input : options.files.paths)
    if (RefuseReportPath(input, options.reportPath, options.force)) return kExitUsage;
  DataRunReport report{"export-data", options.files.Label(), options.outDir};
  return FinishDataReport(report, ExportData(options, report), options.reportPath);
}

}  // namespace tollamer::cli
