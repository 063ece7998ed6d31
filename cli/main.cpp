// tollamer-cli: the command-line face of the recovery engine.
#include <CLI/CLI.hpp>

#include "cli/catalog_command.h"
#include "cli/export_schema_command.h"
#include "cli/info_command.h"
#include "cli/open_command.h"

namespace {
constexpr int kExitUsage = 2;
}

int main(int argc, char** argv) {
  CLI::App app{"Tollamer: recovery of damaged SQL Server data files and backups"};
  app.require_subcommand(1);

  tollamer::cli::InfoOptions info;
  CLI::App* info_cmd = app.add_subcommand("info", "Show the file kind, page count, server version "
                                                  "and page types of a data or backup file");
  info_cmd->add_option("FILE", info.path, "Data file (.mdf) or full backup (.bak)")->required();
  info_cmd->add_flag("--json", info.json, "Print one JSON object");

  tollamer::cli::CatalogOptions catalog;
  CLI::App* catalog_cmd = app.add_subcommand(
      "catalog", "Build the catalog of a data file and list its tables, views, procedures, "
                 "functions and user types");
  catalog_cmd->add_option("FILE", catalog.path, "Data file (.mdf) or full backup (.bak)")->required();
  catalog_cmd->add_option("--version", catalog.version, "Server version: 2000, 2005 or auto")
      ->check(CLI::IsMember({"2000", "2005", "auto"}));
  catalog_cmd->add_flag("--json", catalog.json, "Print one JSON object");

  tollamer::cli::OpenOptions open;
  CLI::App* open_cmd = app.add_subcommand(
      "open", "Open a data file as the desktop program does and print its work log");
  open_cmd->add_option("FILE", open.path, "Data file (.mdf) or full backup (.bak)")->required();
  open_cmd->add_option("--version", open.version, "Server version: 2000, 2005 or auto")
      ->check(CLI::IsMember({"2000", "2005", "auto"}));
  open_cmd->add_option("--log", open.logPath, "Save the work log as this report file");

  tollamer::cli::ExportSchemaOptions schema;
  CLI::App* schema_cmd = app.add_subcommand(
      "export-schema", "Write the schema scripts of a data file into an existing folder");
  schema_cmd->add_option("FILE", schema.path, "Data file (.mdf) or full backup (.bak)")->required();
  schema_cmd->add_option("--out", schema.outDir, "Existing output folder")->required();
  schema_cmd->add_option("--version", schema.version, "Server version: 2000, 2005 or auto")
      ->check(CLI::IsMember({"2000", "2005", "auto"}));
  schema_cmd->add_option("--kind", schema.kind, "tables, views, procs, funcs, types or all")
      ->check(CLI::IsMember({"tables", "views", "procs", "funcs", "types", "all"}));
  schema_cmd->add_option("--object", schema.object, "Write only this object, into its own file");
  schema_cmd->add_option("--encoding", schema.encoding, "Script encoding: utf8 or gbk")
      ->check(CLI::IsMember({"utf8", "gbk"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  if (*info_cmd) return tollamer::cli::RunInfo(info);
  if (*catalog_cmd) return tollamer::cli::RunCatalog(catalog);
  if (*open_cmd) return tollamer::cli::RunOpen(open);
  if (*schema_cmd) return tollamer::cli::RunExportSchema(schema);
  return kExitUsage;
}
