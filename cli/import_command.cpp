#include "cli/import_command.h"

#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "output/db_import.h"
#include "output/deleted_export.h"

namespace tollamer::cli {

int RunImport(const ImportOptions& options) {
  constexpr std::string_view kSqlite = "sqlite:";
  if (options.to.rfind(kSqlite, 0) == 0 &&
      RefuseOutputOverInput(options.path, options.to.substr(kSqlite.size())))
    return kExitUsage;
  std::optional<std::vector<TableInfo>> described = ReadSchemaFile(options.schemaFile);
  if (!described) return kExitUsage;
  CliMessages messages;
  CMdfDatabase db(messages);
  int exit_code = 0;
  std::optional<DataCommandInput> input =
      OpenForDataCommand(db, options.path, options.version, options.table, exit_code);
  if (!input) return exit_code;
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget(options.to, error);
  if (!target) {
    Error("%s\n", error.c_str());
    return error.find(platform::kOutputIsInputText) != std::string::npos ? kExitUsage
                                                                          : kExitCannotRead;
  }
  std::vector<TableDataResult> results =
      ImportTables(db, input->version, input->tables, *target, TerminalProgress());
  const int live = ReportResults(results, "imported", input->backupPagesMissing, false,
                                 input->compressedBlocksLost);
  if (!options.deleted) return live;
  const int deleted = ReportDeleted(ImportDeletedRows(
      db, input->version, options.table.empty() ? std::vector<uint32_t>{} : input->tables,
      *target, DeletedProgress(), {true, std::move(*described)}));
  return live != kExitComplete ? live : deleted;
}

}  // namespace tollamer::cli
