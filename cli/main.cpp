// tollamer-cli: the command-line face of the recovery engine.
#include <CLI/CLI.hpp>

#include <filesystem>

#include "cli/catalog_command.h"
#include "cli/cli_docs.h"
#include "cli/cli_exit.h"
#include "cli/cli_report.h"
#include "cli/export_data_command.h"
#include "cli/export_schema_command.h"
#include "cli/bak2mdf_command.h"
#include "cli/detect_command.h"
#include "cli/excavate_command.h"
#include "cli/import_command.h"
#include "cli/info_command.h"
#include "cli/open_command.h"
#include "cli/output_guard.h"
#include "cli/rows_command.h"
#include "cli/sources_command.h"
#include "cli/scan_tables_command.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/pending_outputs.h"
#include "platform/version.h"

namespace {

using tollamer::cli::kForceHelp;
// The --server-version values: 2000 (and 7.0) read as SQL 2000; every
// release from 2005 on shares the format the 2005 reader reads.
const CLI::IsMember kServerVersions({"auto", "7.0", "2000", "2005", "2008", "2012", "2014", "2016",
                                     "2017", "2019", "2022", "2025"});

// --server-version on a command that reads a data file; --version, its
// older spelling, is still taken there but no longer shown.
void AddServerVersion(CLI::App* command, std::string& value) {
  command->add_option("--server-version", value,
                      "Server version that wrote the file: 2000 (and 7.0), 2005 to 2025 (one "
                      "format), or auto (read from the boot page)")
      ->check(kServerVersions);
  command->add_option("--version", value)->check(kServerVersions)->group("");
}

// --table and --schema, each repeatable (one value per occurrence).
void AddTableChoice(CLI::App* command, tollamer::cli::TableChoice& choice) {
  command->add_option("--table", choice.tables,
                      "Table: owner.name, name or object id, any letter case (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)  // "[dbo].[x]" is a name, not a list
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  command->add_option("--schema", choice.schemas, "Only the tables of this schema (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)  // "[dbo].[x]" is a name, not a list
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// FILE... and --backup-set on a command that reads a database.
CLI::Option* AddInputs(CLI::App* command, tollamer::DatabaseFiles& files) {
  CLI::Option* file = command->add_option(
      "FILE", files.paths,
      "Data file (.mdf) or full backup (.bak); the files of a striped backup together, in any "
      "order; a primary data file with its secondary files (.ndf; those beside it under their "
      "recorded names are found)");
  file->required();
  command
      ->add_option("--backup-set", files.store.backupSet,
                   "Of a backup file holding several backup sets, the one to read (from 1; "
                   "default: the last full backup)")
      ->check(CLI::Range(1, 65535));
  return file;
}

int Run(int argc, char** argv) {
  CLI::App app{std::string("Tollamer: recovery of damaged SQL Server data files (.mdf) and full "
                           "backups (.bak) written by ") +
               tollamer::platform::kVersionsRead};
  app.require_subcommand(1);
  app.footer(tollamer::cli::kExitCodesHelp);
  app.set_version_flag("--version", std::string("tollamer-cli ") + tollamer::platform::kProgramVersion,
                       "Print the program's version and exit");
  app.option_defaults()->always_capture_default();
  bool quiet = false;
  bool verbose = false;
  app.add_flag("-q,--quiet", quiet, "Only errors on stderr: no progress, no notes");
  app.add_flag("-v,--verbose", verbose, "More detail on stderr (the version read, the catalog)");
  app.fallthrough();  // -q and -v also after the command
  app.allow_windows_style_options(false);  // "/path" is a file, not an option
  tollamer::cli::InfoOptions info;
  CLI::App* info_cmd = app.add_subcommand("info", "Show the file kind, page count, server version "
                                                  "and page types of a data or backup file");
  AddInputs(info_cmd, info.files);
  info_cmd->add_flag("--json", info.json, "Print one JSON object");

  tollamer::cli::CatalogOptions catalog;
  CLI::App* catalog_cmd = app.add_subcommand(
      "catalog", "Build the catalog of a data file and list its tables, views, procedures, "
                 "functions and user types");
  AddInputs(catalog_cmd, catalog.files);
  AddServerVersion(catalog_cmd, catalog.version);
  catalog_cmd->add_flag("--json", catalog.json, "Print one JSON object");

  tollamer::cli::OpenOptions open;
  CLI::App* open_cmd = app.add_subcommand(
      "open", "Open a data file as the desktop program does and print its work log");
  AddInputs(open_cmd, open.files);
  AddServerVersion(open_cmd, open.version);
  open_cmd->add_option("--log", open.logPath, "Save the work log as this report file");
  open_cmd->add_flag("--force", open.force, kForceHelp);

  tollamer::cli::ExportSchemaOptions schema;
  CLI::App* schema_cmd = app.add_subcommand(
      "export-schema", "Write the schema scripts of a data file into a folder (made when missing)");
  AddInputs(schema_cmd, schema.files);
  schema_cmd->add_option("--out", schema.outDir, "Output folder (made when missing)")->required();
  schema_cmd->add_flag("--force", schema.force, kForceHelp);
  AddServerVersion(schema_cmd, schema.version);
  schema_cmd->add_option("--kind", schema.kind, "tables, views, procs, funcs, types, triggers or all")
      ->check(CLI::IsMember({"tables", "views", "procs", "funcs", "types", "triggers", "all"}));
  schema_cmd
      ->add_option("--object", schema.objects,
                   "Write only this object, into its own file (repeatable; any letter case)")
      ->expected(1)
      ->allow_extra_args(false)  // "[dbo].[x]" is a name, not a list
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  schema_cmd
      ->add_option("--schema", schema.schemas, "Only the objects of this schema (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)  // "[dbo].[x]" is a name, not a list
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  schema_cmd
      ->add_option("--encoding", schema.encoding,
                   "Script encoding: utf8 (with a byte-order mark), utf8-nobom or gbk")
      ->check(CLI::IsMember({"utf8", "utf8-nobom", "gbk"}));

  tollamer::cli::ScanTablesOptions scan_tables;
  CLI::App* scan_tables_cmd = app.add_subcommand(
      "scan-tables", "Rebuild the data page lists of all tables from every page header of the "
                     "file and show each table's data pages before and after");
  AddInputs(scan_tables_cmd, scan_tables.files);
  AddServerVersion(scan_tables_cmd, scan_tables.version);

  tollamer::cli::DetectOptions detect;
  CLI::App* detect_cmd = app.add_subcommand("detect", "Count the pages of a file by kind");
  detect_cmd->add_option("FILE", detect.path, "Any file, read page by page from byte 0")->required();
  detect_cmd->add_option("--map", detect.mapPath, "Save a picture of the pages by kind (PNG)");
  detect_cmd->add_flag("--json", detect.json, "Print one JSON object");
  detect_cmd->add_flag("--force", detect.force, kForceHelp);

  tollamer::cli::Bak2MdfOptions bak2mdf;
  CLI::App* bak2mdf_cmd = app.add_subcommand("bak2mdf", "Convert a full backup into a data file");
  bak2mdf_cmd
      ->add_option("BACKUP... OUT", bak2mdf.arguments,
                   "Full backup (.bak; the files of a striped backup together), then the data "
                   "file to write (.mdf; each further file of the database beside it as OUT_N.ndf)")
      ->required()
      ->expected(2, -1);
  bak2mdf_cmd->add_option("--backup-set", bak2mdf.files.store.backupSet,
                          "Of a backup file holding several backup sets, the one to read")
      ->check(CLI::Range(1, 65535));
  bak2mdf_cmd->add_flag("--force", bak2mdf.force, kForceHelp);

  tollamer::cli::ExcavateOptions excavate;
  CLI::App* excavate_cmd = app.add_subcommand(
      "excavate", "Search a disk, volume or image for fragments of data files");
  excavate_cmd->add_option("SOURCE", excavate.source, "Device or image file")->required();
  excavate_cmd->add_option("--start", excavate.start, "First sector of the search");
  excavate_cmd->add_option("--size", excavate.size, "Sectors to search");
  excavate_cmd->add_option("--cluster", excavate.cluster, "Cluster size in sectors (scan unit)");
  excavate_cmd->add_flag("--free-only", excavate.freeOnly, "Search only the free clusters");
  excavate_cmd->add_option("--extract", excavate.extract, "Carve fragment N, or all, into --out");
  excavate_cmd->add_option("--out", excavate.outPath, "Data file to carve into");
  excavate_cmd->add_option("--csv", excavate.csvPath, "Save the fragment list as CSV");
  excavate_cmd->add_flag("--json", excavate.json, "Print the fragments as a JSON array");
  excavate_cmd->add_flag("--force", excavate.force, kForceHelp);

  CLI::App* sources_cmd = app.add_subcommand("sources", "List the disks and volumes to search");

  tollamer::cli::RowsOptions rows;
  CLI::App* rows_cmd = app.add_subcommand(
      "rows", "Print the column titles and rows of a table, one grid page or all of them");
  AddInputs(rows_cmd, rows.files)
      ->description("Data file (.mdf) or full backup (.bak), the files of a striped backup "
                    "or a primary file with its secondaries together; then the table (owner.name, name or object id) unless --table "
                    "names it");
  AddTableChoice(rows_cmd, rows.choice);
  AddServerVersion(rows_cmd, rows.version);
  rows_cmd->add_option("--page", rows.page, "Grid page, from 1 (eight data pages each)");
  rows_cmd->add_flag("--all", rows.all, "Every row of every grid page");
  rows_cmd->add_flag("--json", rows.json, "Print one JSON object (titles, rows, page counts)");
  rows_cmd->add_option("--format", rows.format, "tsv (default), csv or json (objects by column)")
      ->check(CLI::IsMember({"tsv", "csv", "json"}));

  tollamer::cli::ExportDataOptions export_data;
  CLI::App* export_data_cmd = app.add_subcommand(
      "export-data", "Write every recoverable row of each table (or of one) into a CSV file or "
                     "an INSERT script per table; rows of a damaged page (a checksum that fails, "
                     "torn bits, a damaged slot array) or with a lost text/image value go to "
                     "<table>.suspect.csv with _page, _slot and _reason, and count as losses");
  AddInputs(export_data_cmd, export_data.files);
  export_data_cmd->add_option("--out", export_data.outDir, "Output folder")->required();
  AddTableChoice(export_data_cmd, export_data.choice);
  export_data_cmd->add_option("--format", export_data.format, "csv or sql")
      ->check(CLI::IsMember({"csv", "sql"}));
  AddServerVersion(export_data_cmd, export_data.version);
  export_data_cmd->add_flag("--deleted", export_data.deleted,
                            "Also write the rows the file still holds after DELETE, TRUNCATE or "
                            "DROP TABLE into <table>.deleted.csv");
  export_data_cmd->add_option("--schema-file", export_data.schemaFile,
                              "With --deleted: CREATE TABLE statements for dropped tables");
  export_data_cmd->add_flag("--force", export_data.force, kForceHelp);
  export_data_cmd->add_option("--report", export_data.reportPath,
                              "Save the run's outcome per table as JSON");

  tollamer::cli::ImportOptions import;
  CLI::App* import_cmd = app.add_subcommand(
      "import", "Import every recoverable row of each table (or of one) into SQLite or PostgreSQL");
  AddInputs(import_cmd, import.files);
  import_cmd->add_option("--to", import.to, "sqlite:PATH or a PostgreSQL connection string")
      ->required();
  AddTableChoice(import_cmd, import.choice);
  AddServerVersion(import_cmd, import.version);
  import_cmd->add_flag("--deleted", import.deleted,
                       "Also import the rows the file still holds after DELETE, TRUNCATE or DROP "
                       "TABLE into <table>_deleted tables");
  import_cmd->add_option("--schema-file", import.schemaFile,
                         "With --deleted: CREATE TABLE statements for dropped tables");
  import_cmd->add_flag("--force", import.force, kForceHelp);
  import_cmd->add_option("--sessions", import.sessions,
                         "PostgreSQL: the most connections loading tables at once (default: one "
                         "per core, at least 2)")
      ->check(CLI::Range(1, 64));
  import_cmd->add_option("--report", import.reportPath, "Save the run's outcome per table as JSON");

  tollamer::cli::WriteDocsOptions docs;
  CLI::App* docs_cmd = tollamer::cli::AddWriteDocsCommand(app, docs);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return tollamer::cli::kExitUsage;
  }

  // The first file names the input in messages; rows takes its table as
  // the last word when that names no file.
  if (*rows_cmd && !rows.choice.Narrowed() && rows.files.paths.size() > 1 &&
      !std::filesystem::exists(tollamer::platform::PathFromUtf8(rows.files.paths.back()))) {
    rows.choice.tables.push_back(rows.files.paths.back());
    rows.files.paths.pop_back();
  }
  for (auto* o : {&info.files, &catalog.files, &open.files, &schema.files, &scan_tables.files,
                  &rows.files, &export_data.files, &import.files})
    if (o->paths.empty()) o->paths.emplace_back();
  info.path = info.files.paths.front();
  catalog.path = catalog.files.paths.front();
  open.path = open.files.paths.front();
  schema.path = schema.files.paths.front();
  scan_tables.path = scan_tables.files.paths.front();
  rows.path = rows.files.paths.front();
  export_data.path = export_data.files.paths.front();
  import.path = import.files.paths.front();
  if (*bak2mdf_cmd) {
    bak2mdf.outPath = bak2mdf.arguments.back();
    bak2mdf.files.paths.assign(bak2mdf.arguments.begin(), bak2mdf.arguments.end() - 1);
    bak2mdf.backupPath = bak2mdf.files.paths.front();
  }

  tollamer::cli::SetVerbosity(quiet     ? tollamer::cli::Verbosity::kQuiet
                              : verbose ? tollamer::cli::Verbosity::kVerbose
                                        : tollamer::cli::Verbosity::kNormal);
  tollamer::cli::SetJsonErrors((*info_cmd && info.json) || (*catalog_cmd && catalog.json) ||
                               (*detect_cmd && detect.json) || (*excavate_cmd && excavate.json) ||
                               (*rows_cmd && (rows.json || rows.format == "json")));

  if (*docs_cmd) return tollamer::cli::RunWriteDocs(app, docs.kind, docs.outPath);
  if (*info_cmd) return tollamer::cli::RunInfo(info);
  if (*catalog_cmd) return tollamer::cli::RunCatalog(catalog);
  if (*open_cmd) return tollamer::cli::RunOpen(open);
  if (*schema_cmd) return tollamer::cli::RunExportSchema(schema);
  if (*rows_cmd) return tollamer::cli::RunRows(rows);
  if (*scan_tables_cmd) return tollamer::cli::RunScanTables(scan_tables);
  if (*detect_cmd) return tollamer::cli::RunDetect(detect);
  if (*bak2mdf_cmd) return tollamer::cli::RunBak2Mdf(bak2mdf);
  if (*excavate_cmd) return tollamer::cli::RunExcavate(excavate);
  if (*sources_cmd) return tollamer::cli::RunSources();
  if (*export_data_cmd) return tollamer::cli::RunExportData(export_data);
  if (*import_cmd) return tollamer::cli::RunImport(import);
  return tollamer::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  tollamer::platform::RemovePendingOutputsOnSignal();
  std::vector<std::string> args = tollamer::platform::ProgramArguments(argc, argv);
  std::vector<char*> utf8_argv;
  for (std::string& arg : args) utf8_argv.push_back(arg.data());
  utf8_argv.push_back(nullptr);
  return tollamer::cli::FinishRun(Run(static_cast<int>(args.size()), utf8_argv.data()));
}
