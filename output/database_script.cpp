#include "output/database_script.h"

#include <map>
#include <set>

#include "engine/catalog/collation_name.h"
#include "engine/catalog/name_match.h"
#include "output/safe_file_name.h"
#include "output/schema_export_constraints.h"
#include "output/script_texts.h"
#include "output/sql_insert.h"
#include "output/text_file_writer.h"

namespace tollamer {

namespace {

constexpr std::string_view kGo = "GO\r\n\r\n";

bool IsBuiltInSchema(std::string_view owner) {
  const std::string folded = FoldCase(owner);
  return folded.empty() || folded == "dbo" || folded == "sys" || folded == "guest" ||
         folded == "information_schema";
}

// The owners the catalog's objects name, each once, in the order met.
std::vector<std::string> Schemas(const Catalog& catalog) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  auto add = [&](const std::string& full_name) {
    if (full_name.find('.') == std::string::npos) return;
    const std::string owner(OwnerOf(full_name));
    if (!IsBuiltInSchema(owner) && seen.insert(owner).second) out.push_back(owner);
  };
  for (const auto& [id, t] : catalog.tables) add(t.fullName);
  for (const auto* list : {&catalog.views, &catalog.procedures, &catalog.functions, &catalog.triggers})
    for (const ModuleInfo& m : *list) add(m.owner.empty() ? m.fullName : m.owner + ".");
  for (const UserTypeInfo& t : catalog.userTypes)
    if (!t.owner.empty()) add(t.owner + ".");
  return out;
}

std::string TypeStatement(const UserTypeInfo& type) {
  if (type.baseTypeText.empty())
    return "-- " + CommentText(BracketName(type.name)) +
           ": no base type known (a table type), not scripted\r\n\r\n";
  const std::string name = IsBuiltInSchema(type.owner)
                               ? BracketName(type.name)
                               : BracketName(type.owner) + "." + BracketName(type.name);
  return "CREATE TYPE " + name + " FROM " + type.baseTypeText + " " +
         (type.nullText == "NOT NULL" ? "NOT NULL" : "NULL") + "\r\n" + std::string(kGo);
}

bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '@' || c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Whether `name` (folded) stands in `text` (folded) as a whole word.
bool NamesWord(std::string_view text, std::string_view name) {
  if (name.empty()) return false;
  for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
    const bool starts = at == 0 || !IsWordByte(text[at - 1]);
    const size_t end = at + name.size();
    const bool ends = end >= text.size() || !IsWordByte(text[end]);
    if (starts && ends) return true;
  }
  return false;
}

std::string ModuleBatch(const ModuleInfo& module, std::string_view what) {
  std::string out;
  if (module.text.empty())
    return "-- " + CommentText(what) + " " + CommentText(module.fullName) +
           ": its definition text is lost\r\n\r\n";
  if (module.ansiNulls)
    out += std::string("SET ANSI_NULLS ") + (*module.ansiNulls ? "ON" : "OFF") + "\r\n" +
           std::string(kGo);
  if (module.quotedIdentifier)
    out += std::string("SET QUOTED_IDENTIFIER ") + (*module.quotedIdentifier ? "ON" : "OFF") +
           "\r\n" + std::string(kGo);
  out += module.text;
  if (!module.text.ends_with("\n")) out += "\r\n";
  return out + std::string(kGo);
}

}  // namespace

std::vector<const ModuleInfo*> ModulesInDependencyOrder(const Catalog& catalog) {
  std::vector<const ModuleInfo*> modules;
  for (const auto* list : {&catalog.views, &catalog.functions, &catalog.procedures})
    for (const ModuleInfo& m : *list) modules.push_back(&m);
  const size_t n = modules.size();
  std::vector<std::string> texts(n);
  std::vector<std::string> names(n);
  for (size_t k = 0; k < n; ++k) {
    texts[k] = FoldCase(modules[k]->text);
    names[k] = FoldCase(NameWithoutOwner(modules[k]->fullName));
  }
  // needs[k]: the modules k's text names.
  std::vector<std::vector<size_t>> needs(n);
  for (size_t k = 0; k < n; ++k)
    for (size_t j = 0; j < n; ++j)
      if (j != k && NamesWord(texts[k], names[j])) needs[k].push_back(j);
  // Depth-first, in catalog order; a module met again while its own
  // references are being placed (a cycle) is left where the walk stands.
  std::vector<const ModuleInfo*> out;
  std::vector<uint8_t> state(n, 0);  // 0 not placed, 1 being placed, 2 placed
  std::vector<std::pair<size_t, size_t>> stack;
  for (size_t root = 0; root < n; ++root) {
    if (state[root]) continue;
    stack.push_back({root, 0});
    state[root] = 1;
    while (!stack.empty()) {
      auto& [k, next] = stack.back();
      if (next < needs[k].size()) {
        const size_t j = needs[k][next++];
        if (state[j] == 0) {
          state[j] = 1;
          stack.push_back({j, 0});
        }
        continue;
      }
      state[k] = 2;
      out.push_back(modules[k]);
      stack.pop_back();
    }
  }
  return out;
}

std::string BuildDatabaseScript(const Catalog& catalog) {
  std::string out = "-- Rebuilds the recovered database: schemas, types, tables, keys, modules\r\n";
  if (std::optional<std::string> name = CollationName(catalog.collationId))
    out += "-- Database collation: " + *name + "\r\n";
  out += "\r\n";
  for (const std::string& schema : Schemas(catalog))
    out += "CREATE SCHEMA " + BracketName(schema) + "\r\n" + std::string(kGo);
  for (const UserTypeInfo& type : catalog.userTypes) out += TypeStatement(type);
  const ColumnCollations collations{catalog.collationId};
  for (const auto& [id, table] : catalog.tables) {
    out += BuildTableScript(table, &collations);
    if (!table.columns.empty()) out += std::string(kGo);
  }
  for (const auto& [id, table] : catalog.tables) out += BuildKeyStatements(table);
  for (const auto& [id, table] : catalog.tables) out += BuildForeignKeyStatements(catalog, table);
  for (const ModuleInfo* module : ModulesInDependencyOrder(catalog))
    out += ModuleBatch(*module, "module");
  for (const ModuleInfo& trigger : catalog.triggers) out += ModuleBatch(trigger, "trigger");
  return out;
}

ExportResult ExportDatabaseScript(const Catalog& catalog, const std::string& folder,
                                  OutputEncoding encoding) {
  if (!OutputFolderExists(folder))
    return {ExportStatus::kFolderMissing, folder, "the folder does not exist"};
  std::optional<std::string> path = PathInFolder(folder, std::string(kDatabaseScriptName));
  if (!path) return {ExportStatus::kWriteFailed, folder, "not a folder path"};
  TextFileWriter writer(*path, encoding);
  writer.Write(BuildDatabaseScript(catalog));
  writer.Commit();
  if (!writer.ok()) return {ExportStatus::kWriteFailed, *path, writer.error()};
  return {ExportStatus::kWritten, *path, {}, writer.unmappable(), writer.firstUnmappable()};
}

}  // namespace tollamer
