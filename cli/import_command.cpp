#include "cli/import_command.h"

#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "cli/data_report.h"
#include "cli/output_guard.h"
#include "output/db_import.h"
#include "output/deleted_export.h"
#include "output/postgres_target.h"

namespace tollamer::cli {

namespace {

// The import target as the report names it: a PostgreSQL password left out.
std::string TargetWithoutPassword(std::string to) {
  if (size_t scheme = to.find("://"); scheme != std::string::npos) {
    const size_t at = to.find('@', scheme);
    const size_t colon = to.find(':', scheme + 3);
    if (at != std::string::npos && colon < at) to.erase(colon, at - colon);
  }
  if (size_t key = to.find("password="); key != std::string::npos)
    to.erase(key, to.find(' ', key) == std::string::npos ? std::string::npos
                                                         : to.find(' ', key) + 1 - key);
  return to;
}

int Import(const ImportOptions& options, DataRunReport& report) {
  constexpr std::string_view kSqlite = "sqlite:";
  if (options.to.rfind(kSqlite, 0) == 0 &&
      RefuseOutputOverInput(options.files, options.to.substr(kSqlite.size())))
    return kExitUsage;
  TableChoice choice = options.choice;
  std::string schema_file = options.schemaFile;
  TakeOldSchemaFileSpelling(choice, schema_file, options.deleted);
  std::optional<std::vector<TableInfo>> described = ReadSchemaFile(schema_file);
  if (!described) return kExitUsage;
  CliMessages messages;
  CMdfDatabase db(messages);
  int exit_code = 0;
  std::optional<DataCommandInput> input =
      OpenForDataCommand(db, options.files, options.version, choice, exit_code);
  if (!input) return exit_code;
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget(options.to, error, options.sessions);
  if (!target) {
    Error("%s\n", error.c_str());
    const bool usage = error.find(platform::kOutputIsInputText) != std::string::npos ||
                       error.find(kPostgresNotBuiltText) != std::string::npos;
    return usage ? kExitUsage : kExitCannotRead;
  }
  const DataOutputs outputs{input->tables, !choice.Narrowed(), options.deleted, *described};
  std::optional<std::string> existing = FirstExistingTargetTable(db, outputs, *target);
  if (existing) existing = "table " + *existing + " of " + TargetWithoutPassword(options.to);
  if (RefuseExisting(existing, options.force)) return kExitUsage;
  report.tables = ImportTables(db, input->version, input->tables, *target, TerminalProgress());
  const int live = ReportResults(report.tables, "imported", *input, false, &db.Store().CheckFailures());
  if (!options.deleted) return live;
  report.deleted = ImportDeletedRows(
      db, input->version, choice.Narrowed() ? input->tables : std::vector<uint32_t>{},
      *target, DeletedProgress(), {true, std::move(*described)});
  const int deleted = ReportDeleted(*report.deleted);
  return live != kExitComplete ? live : deleted;
}

}  // namespace

int RunImport(const ImportOptions& options) {
  for (const std::string& input : options.files.paths)
    if (RefuseReportPath(input, options.reportPath, options.force)) return kExitUsage;
  DataRunReport report{"import", options.files.Label(), TargetWithoutPassword(options.to)};
  return FinishDataReport(report, Import(options, report), options.reportPath);
}

}  // namespace tollamer::cli
