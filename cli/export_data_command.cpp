#include "cli/export_data_command.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "output/deleted_export.h"
#include "platform/file.h"

namespace tollamer::cli {

int RunExportData(const ExportDataOptions& options) {
  DataFormat format;
  if (options.format == "csv") {
    format = DataFormat::kCsv;
  } else if (options.format == "sql") {
    format = DataFormat::kSql;
  } else {
    Error("unknown format %s (csv or sql)\n", options.format.c_str());
    return kExitUsage;
  }
  std::optional<std::vector<TableInfo>> described = ReadSchemaFile(options.schemaFile);
  if (!described) return kExitUsage;
  // "--out -": the one table named goes to stdout; the report to stderr.
  const bool to_stdout = options.outDir == platform::kStandardOutputName;
  if (to_stdout) {
    if (options.table.empty() || options.deleted) {
      Error("--out - writes one table, named with --table, without --deleted\n");
      return kExitUsage;
    }
    std::optional<platform::FileIdentity> out = platform::IdentityOfDescriptor(STDOUT_FILENO);
    if (out && out == platform::IdentityOf(options.path)) {
      Error("refusing to write the rows: stdout is the input file %s\n", options.path.c_str());
      return kExitUsage;
    }
  } else {
    if (RefuseOutputOverInput(options.path, options.outDir)) return kExitUsage;
    std::error_code ec;
    std::filesystem::create_directories(options.outDir, ec);
    if (!std::filesystem::is_directory(options.outDir, ec)) {
      Error("%s is not a folder\n", options.outDir.c_str());
      return kExitCannotRead;
    }
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  int exit_code = 0;
  std::optional<DataCommandInput> input =
      OpenForDataCommand(db, options.path, options.version, options.table, exit_code);
  if (!input) return exit_code;
  std::vector<TableDataResult> results;
  if (to_stdout) {
    std::fflush(stdout);
    results.push_back(ExportTableData(db, input->version, input->tables.front(), format,
                                      platform::kStandardOutputName, TerminalProgress(true)));
    return ReportResults(results, "written", input->backupPagesMissing, true,
                         input->compressedBlocksLost);
  }
  results = ExportTablesData(db, input->version, input->tables, format, options.outDir,
                             TerminalProgress());
  const int live = ReportResults(results, "written", input->backupPagesMissing, false,
                                 input->compressedBlocksLost);
  if (!options.deleted) return live;
  const int deleted = ReportDeleted(ExportDeletedRows(
      db, input->version, options.table.empty() ? std::vector<uint32_t>{} : input->tables,
      options.outDir, DeletedProgress(), {true, std::move(*described)}));
  return live != kExitComplete ? live : deleted;
}

}  // namespace tollamer::cli
