// tollamer-cli: the command-line face of the recovery engine.
#include <CLI/CLI.hpp>

#include "cli/catalog_command.h"
#include "cli/info_command.h"

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
  return kExitUsage;
}
