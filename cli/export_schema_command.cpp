#include "cli/export_schema_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "cli/open_command.h"
#include "cli/output_guard.h"
#include "output/safe_file_name.h"
#include "engine/catalog/name_match.h"
#include "engine/catalog/table_lookup.h"
#include "output/database_script.h"
#include "output/schema_export.h"
#include "platform/paths.h"

namespace tollamer::cli {

namespace {

constexpr SchemaObjectKind kAllKinds[] = {SchemaObjectKind::kTable, SchemaObjectKind::kView,
                                          SchemaObjectKind::kProcedure,
                                          SchemaObjectKind::kFunction, SchemaObjectKind::kUserType,
                                          SchemaObjectKind::kTrigger};

std::optional<std::vector<SchemaObjectKind>> ParseKinds(const std::string& text) {
  if (text == "all") return std::vector<SchemaObjectKind>(std::begin(kAllKinds), std::end(kAllKinds));
  if (text == "tables") return std::vector{SchemaObjectKind::kTable};
  if (text == "views") return std::vector{SchemaObjectKind::kView};
  if (text == "procs") return std::vector{SchemaObjectKind::kProcedure};
  if (text == "funcs") return std::vector{SchemaObjectKind::kFunction};
  if (text == "types") return std::vector{SchemaObjectKind::kUserType};
  if (text == "triggers") return std::vector{SchemaObjectKind::kTrigger};
  return std::nullopt;
}

// The names the catalog holds for objects of `kind`: owner.name for
// tables, views, procedures, functions and triggers; the bare name for user
// types.
std::vector<std::string> NamesOf(const Catalog& catalog, SchemaObjectKind kind) {
  std::vector<std::string> names;
  auto modules = [&](const std::vector<ModuleInfo>& list) {
    for (const ModuleInfo& m : list) names.push_back(m.fullName);
  };
  switch (kind) {
    case SchemaObjectKind::kTable:
      for (const auto& [id, t] : catalog.tables) names.push_back(t.fullName);
      break;
    case SchemaObjectKind::kView: modules(catalog.views); break;
    case SchemaObjectKind::kProcedure: modules(catalog.procedures); break;
    case SchemaObjectKind::kFunction: modules(catalog.functions); break;
    case SchemaObjectKind::kTrigger: modules(catalog.triggers); break;
    case SchemaObjectKind::kUserType:
      for (const UserTypeInfo& t : catalog.userTypes) names.push_back(t.name);
      break;
  }
  return names;
}

// The catalog's names of the objects of `kind` the user named (name_match.h):
// none, one, or several when the name is ambiguous.
std::vector<std::string> CatalogNames(const Catalog& catalog, SchemaObjectKind kind,
                                      const std::string& given) {
  const std::vector<std::string> names = NamesOf(catalog, kind);
  std::vector<std::string> found;
  for (size_t k : MatchObjectName(names, given)) found.push_back(names[k]);
  return found;
}

// The catalog with only the objects of `schemas` (owner, any letter case);
// an object whose owner is not known is kept.
Catalog OnlySchemas(const Catalog& catalog, const std::vector<std::string>& schemas) {
  Catalog out = catalog;
  if (schemas.empty()) return out;
  std::erase_if(out.tables, [&](const auto& entry) { return !InSchemas(entry.second.fullName, schemas); });
  auto keep = [&](std::vector<ModuleInfo>& list) {
    std::erase_if(list, [&](const ModuleInfo& m) {
      const std::string owned = m.owner.empty() ? m.fullName : m.owner + "." + m.fullName;
      return owned.find('.') != std::string::npos && !InSchemas(owned, schemas);
    });
  };
  keep(out.views);
  keep(out.procedures);
  keep(out.functions);
  keep(out.triggers);
  std::erase_if(out.userTypes, [&](const UserTypeInfo& t) {
    return !t.owner.empty() && !InSchemas(t.owner + "." + t.name, schemas);
  });
  return out;
}

}  // namespace

int RunExportSchema(const ExportSchemaOptions& options) {
  std::optional<VersionChoice> version = ParseVersionChoice(options.version);
  std::optional<std::vector<SchemaObjectKind>> kinds = ParseKinds(options.kind);
  std::optional<OutputEncoding> encoding = ParseOutputEncoding(options.encoding);
  if (!version || !kinds || !encoding) {
    Error("bad --server-version, --kind or --encoding\n");
    return kExitUsage;
  }
  if (RefuseOutputOverInput(options.files, options.outDir)) return kExitUsage;
  std::error_code ec;
  std::filesystem::create_directories(platform::PathFromUtf8(options.outDir), ec);
  if (!OutputFolderExists(options.outDir)) {
    Error("%s is not a folder and cannot be made one\n", options.outDir.c_str());
    return kExitCannotRead;
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  WorkLog log;
  if (!RunOpenFlow(db, options.files, *version, log)) return kExitCannotRead;
  const Catalog catalog = OnlySchemas(db.catalog, options.schemas);

  // The scripts to write, by kind: every object of the kind, or those
  // --object names (their catalog names); Database.sql with every kind.
  std::vector<std::pair<SchemaObjectKind, std::string>> scripts;
  std::vector<std::string> paths;
  std::vector<std::string> tables_named;  // the tables --object names, by their catalog names
  std::vector<std::string> unmatched = options.objects;
  for (SchemaObjectKind kind : *kinds) {
    std::vector<std::string> names;
    if (options.objects.empty()) names.push_back({});
    for (const std::string& object : options.objects) {
      const std::vector<std::string> found = CatalogNames(catalog, kind, object);
      if (found.size() > 1) {
        std::string list;
        for (const std::string& n : found) list += (list.empty() ? "" : ", ") + n;
        Error("%s names several objects: %s (name one with its schema)\n", object.c_str(),
              list.c_str());
        return kExitNoSuchTable;
      }
      if (found.empty()) continue;
      std::erase(unmatched, object);
      names.push_back(found.front());
      if (kind == SchemaObjectKind::kTable) tables_named.push_back(found.front());
    }
    for (const std::string& name : names) {
      scripts.emplace_back(kind, name);
      if (std::optional<std::string> path = PathInFolder(
              options.outDir, name.empty() ? AllObjectsFileName(kind) : SelectedObjectFileName(kind, name)))
        paths.push_back(*path);
    }
  }
  const bool database_script = options.objects.empty() && options.kind == "all";
  if (database_script)
    if (std::optional<std::string> path = PathInFolder(options.outDir, std::string(kDatabaseScriptName)))
      paths.push_back(*path);
  if (RefuseExisting(FirstExistingPath(paths), options.force)) return kExitUsage;
  int exit_code = 0;
  auto report = [&](const ExportResult& r) {
    if (r.status == ExportStatus::kWritten) {
      std::printf("%s\n", r.path.c_str());
      if (r.unmappable > 0) {
        std::string sample;
        for (const std::string& c : r.firstUnmappable) sample += (sample.empty() ? "" : " ") + c;
        Error("%zu characters the encoding cannot hold were written as '?' "
              "in %s (first: %s)\n",
              r.unmappable, r.path.c_str(), sample.c_str());
      }
    } else if (r.status != ExportStatus::kNoSuchObject) {
      Error("cannot write %s: %s\n", r.path.c_str(), r.error.c_str());
      exit_code = r.error == platform::kOutputIsInputText ? kExitUsage : kExitCannotRead;
    }
  };
  for (const auto& [kind, name] : scripts)
    report(name.empty() ? ExportAllObjects(catalog, kind, options.outDir, *encoding)
                        : ExportSelectedObject(catalog, kind, name, options.outDir, *encoding));
  if (database_script) report(ExportDatabaseScript(catalog, options.outDir, *encoding));
  // Tables whose columns are lost are scripted as a comment.
  size_t lost = 0;
  const bool tables = std::find(kinds->begin(), kinds->end(), SchemaObjectKind::kTable) != kinds->end();
  for (const auto& [id, t] : catalog.tables) {
    if (!tables || !ColumnsLost(t)) continue;
    if (!options.objects.empty() &&
        std::find(tables_named.begin(), tables_named.end(), t.fullName) == tables_named.end())
      continue;
    Error("%s: columns lost, scripted %s\n", t.fullName.c_str(),
          t.columnsInferred ? "with placeholder columns" : "as a comment");
    ++lost;
  }
  if (!unmatched.empty()) {
    Error("no %s named %s\n",
          options.kind == "all" ? "object" : options.kind.c_str(), unmatched.front().c_str());
    return kExitNoSuchTable;
  }
  if (exit_code == kExitComplete && lost) {
    Error("incomplete: %s without columns\n", Counted(lost, "table", "tables").c_str());
    exit_code = kExitLosses;
  }
  if (TellCatalogDamage(db.catalog) && exit_code == kExitComplete) exit_code = kExitLosses;
  if (TellFileGaps(StoreGaps(db.Store()), "objects and columns") && exit_code == kExitComplete)
    exit_code = kExitLosses;
  return exit_code;
}

}  // namespace tollamer::cli
