#include "cli/export_schema_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/open_command.h"
#include "cli/output_guard.h"
#include "output/safe_file_name.h"
#include "output/schema_export.h"

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
// tables, views, procedures and functions; the bare name for user types.
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
    case SchemaObjectKind::kUserType:
      for (const UserTypeInfo& t : catalog.userTypes) names.push_back(t.name);
      break;
  }
  return names;
}

std::string_view WithoutOwner(std::string_view name) {
  size_t dot = name.find('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

// The catalog's name of the object the user named, with or without its
// owner and with or without [brackets], the same for every kind; empty when
// no object of `kind` has that name.
std::string CatalogName(const Catalog& catalog, SchemaObjectKind kind, const std::string& given) {
  std::string name;
  for (char c : given)
    if (c != '[' && c != ']') name.push_back(c);
  const std::vector<std::string> names = NamesOf(catalog, kind);
  for (const std::string& n : names)
    if (n == name) return n;
  for (const std::string& n : names)
    if (WithoutOwner(n) == name || n == WithoutOwner(name)) return n;
  return {};
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
  std::filesystem::create_directories(options.outDir, ec);
  if (!OutputFolderExists(options.outDir)) {
    Error("%s is not a folder and cannot be made one\n", options.outDir.c_str());
    return kExitCannotRead;
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  WorkLog log;
  if (!RunOpenFlow(db, options.files, *version, log)) return kExitCannotRead;

  // The scripts to write, by kind: every object of the kind, or the one
  // --object names (its catalog name).
  std::vector<std::pair<SchemaObjectKind, std::string>> scripts;
  std::vector<std::string> paths;
  std::string table_named;  // the table --object names, by its catalog name
  for (SchemaObjectKind kind : *kinds) {
    std::string name;
    if (!options.object.empty()) {
      name = CatalogName(db.catalog, kind, options.object);
      if (name.empty()) continue;
      if (kind == SchemaObjectKind::kTable) table_named = name;
    }
    scripts.emplace_back(kind, name);
    if (std::optional<std::string> path = PathInFolder(
            options.outDir, name.empty() ? AllObjectsFileName(kind) : SelectedObjectFileName(kind, name)))
      paths.push_back(*path);
  }
  if (RefuseExisting(FirstExistingPath(paths), options.force)) return kExitUsage;
  int exit_code = 0;
  bool matched = options.object.empty();
  for (const auto& [kind, name] : scripts) {
    ExportResult r;
    if (name.empty()) {
      r = ExportAllObjects(db.catalog, kind, options.outDir, *encoding);
    } else {
      r = ExportSelectedObject(db.catalog, kind, name, options.outDir, *encoding);
      if (r.status == ExportStatus::kNoSuchObject) continue;
      matched = true;
    }
    if (r.status == ExportStatus::kWritten) {
      std::printf("%s\n", r.path.c_str());
      if (r.unmappable > 0) {
        std::string sample;
        for (const std::string& c : r.firstUnmappable) sample += (sample.empty() ? "" : " ") + c;
        Error("%zu characters the encoding cannot hold were written as '?' "
              "in %s (first: %s)\n",
              r.unmappable, r.path.c_str(), sample.c_str());
      }
    } else {
      Error("cannot write %s: %s\n", r.path.c_str(), r.error.c_str());
      exit_code = r.error == platform::kOutputIsInputText ? kExitUsage : kExitCannotRead;
    }
  }
  // Tables whose columns are lost are scripted as a comment: a loss when
  // the catalog counts rows for them (the server's internal tables of newer
  // files have neither columns nor rows).
  size_t lost = 0;
  const bool tables = std::find(kinds->begin(), kinds->end(), SchemaObjectKind::kTable) != kinds->end();
  for (const auto& [id, t] : db.catalog.tables) {
    if (!tables || !(t.columns.empty() || t.columnsInferred) || t.rowCount == 0) continue;
    if (!options.object.empty() && t.fullName != table_named) continue;
    Error("%s: columns lost, scripted %s\n", t.fullName.c_str(),
          t.columnsInferred ? "with placeholder columns" : "as a comment");
    ++lost;
  }
  if (!matched) {
    Error("no %s named %s\n",
          options.kind == "all" ? "object" : options.kind.c_str(), options.object.c_str());
    return kExitNoSuchTable;
  }
  if (exit_code == kExitComplete && lost) {
    Error("incomplete: %s without columns\n", Counted(lost, "table", "tables").c_str());
    return kExitLosses;
  }
  return exit_code;
}

}  // namespace tollamer::cli
