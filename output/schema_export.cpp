#include "output/schema_export.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "engine/catalog/table_lookup.h"
#include "output/safe_file_name.h"
#include "output/schema_export_constraints.h"
#include "output/script_texts.h"
#include "output/text_file_writer.h"
#include "platform/paths.h"

namespace tollamer {

namespace {

const std::vector<ModuleInfo>* ModuleList(const Catalog& catalog, SchemaObjectKind kind) {
  switch (kind) {
    case SchemaObjectKind::kView: return &catalog.views;
    case SchemaObjectKind::kProcedure: return &catalog.procedures;
    case SchemaObjectKind::kFunction: return &catalog.functions;
    case SchemaObjectKind::kTrigger: return &catalog.triggers;
    default: return nullptr;
  }
}

std::string_view SelectedSuffix(SchemaObjectKind kind) {
  switch (kind) {
    case SchemaObjectKind::kTable: return "(TableStruct).sql";
    case SchemaObjectKind::kView: return "(View).sql";
    case SchemaObjectKind::kProcedure: return "(Proc).sql";
    case SchemaObjectKind::kFunction: return "(Func).sql";
    case SchemaObjectKind::kUserType: return "(Type).sql";
    case SchemaObjectKind::kTrigger: return "(Trigger).sql";
  }
  return ".sql";
}

ExportResult Failed(ExportStatus status, std::string path, std::string error) {
  return {status, std::move(path), std::move(error)};
}

// Writes the pieces one after another into `file_name` inside `folder`.
ExportResult WritePieces(const std::string& folder, const std::string& file_name,
                         const std::vector<std::string>& pieces, OutputEncoding encoding) {
  std::optional<std::string> path = PathInFolder(folder, file_name);
  if (!path) return Failed(ExportStatus::kWriteFailed, file_name, "not a file name: " + file_name);
  TextFileWriter writer(*path, encoding);
  for (const std::string& piece : pieces) {
    if (!writer.Write(piece)) break;
  }
  writer.Commit();
  if (!writer.ok()) return Failed(ExportStatus::kWriteFailed, *path, writer.error());
  return {ExportStatus::kWritten, *path, {}, writer.unmappable(), writer.firstUnmappable()};
}

ExportResult FolderMissing(const std::string& folder) {
  return Failed(ExportStatus::kFolderMissing, folder, "the folder does not exist");
}

}  // namespace

bool OutputFolderExists(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(platform::PathFromUtf8(folder), ec);
}

std::string AllObjectsFileName(SchemaObjectKind kind) {
  switch (kind) {
    case SchemaObjectKind::kTable: return "AllTable.sql";
    case SchemaObjectKind::kView: return "AllViews.sql";
    case SchemaObjectKind::kProcedure: return "AllProcs.sql";
    case SchemaObjectKind::kFunction: return "AllFun.sql";
    case SchemaObjectKind::kUserType: return "AllUtype.sql";
    case SchemaObjectKind::kTrigger: return "AllTriggers.sql";
  }
  return "All.sql";
}

std::string SelectedObjectFileName(SchemaObjectKind kind, std::string_view object_name) {
  return SafeFileNamePart(object_name) + std::string(SelectedSuffix(kind));
}

const ModuleInfo* FindSelectedModule(const Catalog& catalog, SchemaObjectKind kind,
                                     std::string_view name) {
  const std::vector<ModuleInfo>* list = ModuleList(catalog, kind);
  if (!list) return nullptr;
  for (const ModuleInfo& module : *list) {
    if (module.fullName == name) return &module;
  }
  return nullptr;
}

const UserTypeInfo* FindSelectedUserType(const Catalog& catalog, std::string_view name) {
  for (const UserTypeInfo& type : catalog.userTypes) {
    if (type.name == name) return &type;
  }
  return nullptr;
}

ExportResult ExportAllObjects(const Catalog& catalog, SchemaObjectKind kind,
                              const std::string& folder, OutputEncoding encoding) {
  if (!OutputFolderExists(folder)) return FolderMissing(folder);
  std::vector<std::string> pieces;
  if (kind == SchemaObjectKind::kTable) {
    for (const auto& [id, table] : catalog.tables)
      pieces.push_back(BuildTableScript(table) + std::string(script_separator::kAllTables));
    for (const auto& [id, table] : catalog.tables) pieces.push_back(BuildKeyStatements(table));
    for (const auto& [id, table] : catalog.tables)
      pieces.push_back(BuildForeignKeyStatements(catalog, table));
  } else if (kind == SchemaObjectKind::kUserType) {
    for (const UserTypeInfo& type : catalog.userTypes)
      pieces.push_back(BuildTypeStatement(type) + std::string(script_separator::kAllUserTypes));
  } else {
    for (const ModuleInfo& module : *ModuleList(catalog, kind))
      pieces.push_back(module.text + std::string(script_separator::kAllModules));
  }
  return WritePieces(folder, AllObjectsFileName(kind), pieces, encoding);
}

ExportResult ExportSelectedObject(const Catalog& catalog, SchemaObjectKind kind,
                                  std::string_view name, const std::string& folder,
                                  OutputEncoding encoding) {
  // A table is looked up after the folder has been chosen; the other kinds
  // are looked up first, and no folder is asked for when nothing matches.
  if (kind == SchemaObjectKind::kTable) {
    if (!OutputFolderExists(folder)) return FolderMissing(folder);
    const TableInfo* table = FindTableByName(catalog, std::string(name));
    if (!table) return Failed(ExportStatus::kNoSuchObject, {}, "no such table");
    std::string text = BuildTableScript(*table) + std::string(script_separator::kSelectedTable);
    std::string after = BuildKeyStatements(*table) + BuildForeignKeyStatements(catalog, *table);
    if (!after.empty()) text += "\r\n\r\n" + after;
    return WritePieces(folder, SelectedObjectFileName(kind, table->fullName), {text}, encoding);
  }
  std::string found;
  std::string text;
  if (kind == SchemaObjectKind::kUserType) {
    const UserTypeInfo* type = FindSelectedUserType(catalog, name);
    if (!type) return Failed(ExportStatus::kNoSuchObject, {}, "no such user type");
    found = type->name;
    text = BuildTypeStatement(*type);
  } else {
    const ModuleInfo* module = FindSelectedModule(catalog, kind, name);
    if (!module) return Failed(ExportStatus::kNoSuchObject, {}, "no such object");
    found = module->fullName;
    text = module->text;
  }
  if (!OutputFolderExists(folder)) return FolderMissing(folder);
  return WritePieces(folder, SelectedObjectFileName(kind, found), {text}, encoding);
}

}  // namespace tollamer
