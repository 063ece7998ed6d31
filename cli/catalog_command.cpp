#include "cli/catalog_command.h"

#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/json.h"
#include "cli/open_command.h"
#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/server_version.h"

namespace tollamer::cli {

namespace {

// The work log's word for a row count: 0 and 1 take the singular.
const char* RecordWord(uint64_t rows) { return rows >= 2 ? " Records)" : " Record)"; }

void AppendModules(std::string& out, const char* key, const std::vector<ModuleInfo>& list) {
  out += ",\"" + std::string(key) + "\":[";
  for (size_t i = 0; i < list.size(); ++i) {
    const ModuleInfo& m = list[i];
    if (i) out += ",";
    out += "{\"id\":" + std::to_string(m.id) + ",\"name\":" + JsonString(m.fullName) +
           ",\"text\":" + JsonString(m.text) + "}";
  }
  out += "]";
}

}  // namespace

std::string CatalogListing(const Catalog& catalog) {
  std::string out = "Total table(s) present  :" + std::to_string(catalog.tables.size()) + "\n";
  for (const auto& [id, t] : catalog.tables)
    out += t.fullName + " : (" + (t.rowCount ? std::to_string(*t.rowCount) : "?") +
           RecordWord(t.rowCount.value_or(2)) + "\n";
  auto section = [&](const char* title, const auto& list, auto name_of) {
    out += title;
    out += "\n";
    for (const auto& item : list) out += name_of(item) + "\n";
  };
  auto module_name = [](const ModuleInfo& m) { return m.fullName; };
  section("views:", catalog.views, module_name);
  section("procedures:", catalog.procedures, module_name);
  section("functions:", catalog.functions, module_name);
  section("types:", catalog.userTypes, [](const UserTypeInfo& t) { return t.name; });
  return out;
}

std::string CatalogJson(const Catalog& catalog) {
  std::string out = "{\"tables\":[";
  bool first_table = true;
  for (const auto& [id, t] : catalog.tables) {
    if (!first_table) out += ",";
    first_table = false;
    out += "{\"id\":" + std::to_string(id) + ",\"name\":" + JsonString(t.fullName) +
           ",\"rows\":" + (t.rowCount ? std::to_string(*t.rowCount) : std::string("null")) + ",\"columns\":[";
    bool first_column = true;
    for (const auto& [colid, c] : t.columns) {
      if (!first_column) out += ",";
      first_column = false;
      out += "{\"name\":" + JsonString(c.name) + ",\"type\":" + JsonString(c.typeName) +
             ",\"size\":" + JsonString(c.sizeText) + ",\"null\":" + JsonString(c.nullText) +
             ",\"xtype\":" + std::to_string(c.xtype) + ",\"length\":" + std::to_string(c.length) +
             ",\"colid\":" + std::to_string(c.colid) + "}";
    }
    out += "]}";
  }
  out += "]";
  AppendModules(out, "views", catalog.views);
  AppendModules(out, "procedures", catalog.procedures);
  AppendModules(out, "functions", catalog.functions);
  out += ",\"types\":[";
  for (size_t i = 0; i < catalog.userTypes.size(); ++i) {
    const UserTypeInfo& t = catalog.userTypes[i];
    if (i) out += ",";
    out += "{\"name\":" + JsonString(t.name) + ",\"base\":" + JsonString(t.baseTypeText) +
           ",\"null\":" + JsonString(t.nullText) + "}";
  }
  out += "]}\n";
  return out;
}

int RunCatalog(const CatalogOptions& options) {
  CliMessages messages;
  CMdfDatabase db(messages);
  if (ReportUnreadable(OpenDataFile(db, options.path), db.Store(), options.path))
    return kExitCannotRead;
  std::optional<VersionChoice> choice = ParseVersionChoice(options.version);
  if (!choice) {
    Error("unknown server version %s (2000, 2005 to 2025, or auto)\n",
                 options.version.c_str());
    return kExitUsage;
  }
  const VersionSetting version = ChooseVersion(*choice, db.Store());
  if (choice->automatic) Note("version: %s\n", FormatName(version));

  // No version: no catalog is built, as when no choice was made.
  if (OpenCatalog(db, version).usedFallback)
    Note("system table allocation damaged: system tables found by a whole-file scan\n");
  std::string out = options.json ? CatalogJson(db.catalog) : CatalogListing(db.catalog);
  std::fputs(out.c_str(), stdout);
  return 0;
}

}  // namespace tollamer::cli
