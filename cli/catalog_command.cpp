#include "cli/catalog_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "cli/json.h"
#include "cli/open_command.h"
#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/server_version.h"
#include "output/db_import.h"
#include "output/type_mapping.h"

namespace tollamer::cli {

namespace {

// "1 row", "8 rows"; "rows unknown" where the system tables give no count.
std::string Count(std::optional<uint64_t> n, const char* one, const char* many) {
  if (!n) return std::string(many) + " unknown";
  return std::to_string(*n) + " " + (*n == 1 ? one : many);
}

std::string JsonNumber(std::optional<uint64_t> n) { return n ? std::to_string(*n) : "null"; }

// owner.name; the name alone when the owner is unknown.
std::string Qualified(const std::string& owner, const std::string& name) {
  return owner.empty() ? name : owner + "." + name;
}
// A view's catalog name holds its owner already; procedures' and functions' do not.
std::string ModuleName(const ModuleInfo& m) {
  return m.owner.empty() || m.fullName.rfind(m.owner + ".", 0) == 0 ? m.fullName
                                                                     : m.owner + "." + m.fullName;
}

std::string ColumnType(const ColumnInfo& c) {
  return (c.typeName.empty() ? "xtype " + std::to_string(c.xtype) : c.typeName) + c.sizeText;
}

void AppendModules(std::string& out, const char* key, const std::vector<ModuleInfo>& list) {
  out += ",\n\"" + std::string(key) + "\":[";
  for (size_t i = 0; i < list.size(); ++i) {
    const ModuleInfo& m = list[i];
    out += std::string(i ? "," : "") + "{\"id\":" + std::to_string(m.id) +
           ",\"schema\":" + JsonString(m.owner) + ",\"name\":" + JsonString(ModuleName(m)) +
           ",\"text\":" + JsonString(m.text) + "}";
  }
  out += "]";
}

}  // namespace

std::string CatalogListing(const Catalog& catalog) {
  std::string out = Count(catalog.tables.size(), "table", "tables") + "\n";
  for (const auto& [id, t] : catalog.tables) {
    out += t.fullName + ": " + Count(t.rowCount, "row", "rows");
    if (t.columnsInferred)
      out += ", columns lost (placeholders read off the records)";
    else if (ColumnsLost(t))
      out += ", columns lost";
    out += "\n";
    size_t width = 0;
    for (const auto& [colid, c] : t.columns) width = std::max(width, c.name.size());
    for (const auto& [colid, c] : t.columns)
      out += "  " + c.name + std::string(width + 2 - c.name.size(), ' ') + ColumnType(c) +
             (IsNotNullColumn(c) ? " NOT NULL" : " NULL") + "\n";
  }
  auto modules = [&](const std::vector<ModuleInfo>& list, const char* one, const char* many) {
    out += Count(list.size(), one, many) + "\n";
    for (const ModuleInfo& m : list) out += "  " + ModuleName(m) + "\n";
  };
  modules(catalog.views, "view", "views");
  modules(catalog.procedures, "procedure", "procedures");
  modules(catalog.functions, "function", "functions");
  out += Count(catalog.userTypes.size(), "user type", "user types") + "\n";
  for (const UserTypeInfo& t : catalog.userTypes)
    out += "  " + Qualified(t.owner, t.name) + ": " + t.baseTypeText + " " + t.nullText + "\n";
  return out;
}

std::string CatalogJson(const Catalog& catalog) {
  std::string out = "{\"tables\":[";
  bool first_table = true;
  for (const auto& [id, t] : catalog.tables) {
    out += std::string(first_table ? "\n" : ",\n") + "{\"id\":" + std::to_string(id) +
           ",\"schema\":" + JsonString(OwnerAndName(t.fullName).first) +
           ",\"name\":" + JsonString(t.fullName) + ",\"rows\":" + JsonNumber(t.rowCount) +
           ",\"columns_inferred\":" + (t.columnsInferred ? "true" : "false") + ",\"columns\":[";
    first_table = false;
    bool first_column = true;
    for (const auto& [colid, c] : t.columns) {
      const bool max = c.length == kMaxLength;
      out += std::string(first_column ? "" : ",") + "{\"colid\":" + std::to_string(c.colid) +
             ",\"name\":" + JsonString(c.name) + ",\"type\":" + JsonString(c.typeName) +
             ",\"xtype\":" + std::to_string(c.xtype) +
             ",\"length\":" + (max ? std::string("null") : std::to_string(c.length)) +
             ",\"max\":" + (max ? "true" : "false") + ",\"precision\":" +
             std::to_string(c.xprec) + ",\"scale\":" + std::to_string(c.xscale) +
             ",\"nullable\":" + (IsNotNullColumn(c) ? "false" : "true") + "}";
      first_column = false;
    }
    out += "]}";
  }
  out += "]";
  AppendModules(out, "views", catalog.views);
  AppendModules(out, "procedures", catalog.procedures);
  AppendModules(out, "functions", catalog.functions);
  out += ",\n\"types\":[";
  for (size_t i = 0; i < catalog.userTypes.size(); ++i) {
    const UserTypeInfo& t = catalog.userTypes[i];
    out += std::string(i ? "," : "") + "{\"schema\":" + JsonString(t.owner) +
           ",\"name\":" + JsonString(Qualified(t.owner, t.name)) +
           ",\"base\":" + JsonString(t.baseTypeText) +
           ",\"nullable\":" + (t.nullText == "NOT NULL" ? "false" : "true") + "}";
  }
  out += "]}\n";
  return out;
}

int RunCatalog(const CatalogOptions& options) {
  CliMessages messages;
  CMdfDatabase db(messages);
  if (ReportUnreadable(OpenDataFile(db, options.files), db.Store(), options.files.Label()))
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
  const size_t lost = static_cast<size_t>(std::count_if(
      db.catalog.tables.begin(), db.catalog.tables.end(),
      [](const auto& entry) { return ColumnsLost(entry.second); }));
  if (lost) Error("incomplete: %s without columns\n", Counted(lost, "table", "tables").c_str());
  const bool damaged = TellCatalogDamage(db.catalog);
  const bool gaps = TellFileGaps(StoreGaps(db.Store()), "objects and columns");
  return lost || damaged || gaps ? kExitLosses : kExitComplete;
}

}  // namespace tollamer::cli
