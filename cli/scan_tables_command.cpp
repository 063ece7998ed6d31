#include "cli/scan_tables_command.h"

#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/data_commands.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/open_command.h"
#include "output/data_outcome.h"
#include "engine/catalog/open/open_catalog.h"

namespace tollamer::cli {

namespace {

std::map<uint32_t, size_t> PageCounts(const CMdfDatabase& db) {
  std::map<uint32_t, size_t> counts;
  for (const auto& [id, table] : db.catalog.tables) {
    auto it = db.dataPageLists.find(id);
    counts[id] = it == db.dataPageLists.end() ? 0 : it->second.size();
  }
  return counts;
}


}  // namespace

std::string ScanTablesListing(const Catalog& catalog, const std::map<uint32_t, size_t>& before,
                              const std::map<uint32_t, size_t>& after) {
  std::string out;
  for (const auto& [id, table] : catalog.tables) {
    auto b = before.find(id);
    auto a = after.find(id);
    const size_t found = a == after.end() ? 0 : a->second;
    out += table.fullName + ": " + std::to_string(b == before.end() ? 0 : b->second) + " -> " +
           Counted(found, "data page", "data pages") + "\n";
  }
  return out;
}

int RunScanTables(const ScanTablesOptions& options) {
  std::optional<VersionChoice> choice = ParseVersionChoice(options.version);
  if (!choice) {
    Error("unknown server version %s (2000, 2005 to 2025, or auto)\n",
                 options.version.c_str());
    return 2;
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  if (ReportUnreadable(OpenDataFile(db, options.files), db.Store(), options.files.Label())) return 1;
  const VersionSetting setting = ChooseVersion(*choice, db.Store());
  if (choice->automatic) Note("version: %s\n", FormatName(setting));

  std::map<uint32_t, size_t> before;
  if (const FormatProfile* profile = ProfileFor(setting)) {
    profile->BuildCatalog(db);
    // The lists the row reader would build on first use.
    profile->LocateAllTablePages(db);
    before = PageCounts(db);
    if (db.pageOwnerConflict.IsSet())
      Note("tables share a page m_objId: their pages go to the first of them\n");
    profile->ScanFileForAllTables(db);
  }
  const std::map<uint32_t, size_t> after = PageCounts(db);
  std::string out = ScanTablesListing(db.catalog, before, after);
  std::fputs(out.c_str(), stdout);
  // A table the system tables say holds rows, without a page found: the
  // scan did not recover it, which is no success.
  const std::vector<uint32_t> empty = TablesWithoutDataPages(db);
  for (uint32_t id : empty) {
    const TableInfo& table = db.catalog.tables.at(id);
    Error("%s: no data pages found (%llu rows in the catalog)\n",
                 table.fullName.c_str(), static_cast<unsigned long long>(table.rowCount.value_or(0)));
  }
  if (!empty.empty())
    Error("incomplete: %s without data pages\n", Counted(empty.size(), "table", "tables").c_str());
  // Pages in a stripe not given, past a cut or in a lost block were not
  // scanned: the listing is short by whatever they held.
  const bool gaps = TellFileGaps(StoreGaps(db.Store()));
  return empty.empty() && !gaps ? kExitComplete : kExitLosses;
}

}  // namespace tollamer::cli
