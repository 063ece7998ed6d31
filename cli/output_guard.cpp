#include "cli/output_guard.h"

#include <filesystem>

#include "cli/cli_report.h"
#include "engine/rows/deleted_rows.h"
#include "output/deleted_export.h"
#include "output/safe_file_name.h"

namespace tollamer::cli {

namespace {

// The catalog names whose deleted rows a run writes: the chosen tables,
// and with every table the dropped tables that --schema describes.
std::vector<std::string> DeletedNames(const CMdfDatabase& db, const DataOutputs& outputs) {
  std::vector<std::string> names;
  for (uint32_t id : outputs.tables)
    if (auto it = db.catalog.tables.find(id); it != db.catalog.tables.end())
      names.push_back(it->second.fullName);
  if (outputs.all)
    for (const TableInfo& t : outputs.described) names.push_back(t.fullName);
  return names;
}

}  // namespace

bool RefuseExisting(const std::optional<std::string>& existing, bool force) {
  if (!existing || force) return false;
  Error("%s exists: give --force to replace it\n", existing->c_str());
  return true;
}

std::optional<std::string> FirstExistingPath(const std::vector<std::string>& paths) {
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!p.empty() && std::filesystem::symlink_status(p, ec).type() !=
                          std::filesystem::file_type::not_found)
      return p;
  }
  return std::nullopt;
}

std::optional<std::string> FirstExistingExportFile(const CMdfDatabase& db,
                                                   const DataOutputs& outputs, DataFormat format,
                                                   const std::string& folder) {
  std::vector<std::string> paths;
  for (const std::optional<std::string>& p : TableDataPaths(db, outputs.tables, format, folder))
    if (p) paths.push_back(*p);
  if (outputs.deleted)
    for (const std::string& name : DeletedNames(db, outputs))
      if (std::optional<std::string> p = PathInFolder(folder, DeletedFileName(name)))
        paths.push_back(*p);
  if (std::optional<std::string> found = FirstExistingPath(paths)) return found;
  if (!outputs.deleted || !outputs.all) return std::nullopt;
  // Tables no catalog row names are found by the deleted rows' scan: any
  // file of theirs from an earlier run.
  const std::string prefix = SafeFileNamePart(kDroppedTableNamePrefix);
  const std::string suffix = DeletedFileName("");
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > prefix.size() + suffix.size() && name.rfind(prefix, 0) == 0 &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return entry.path().string();
  }
  return std::nullopt;
}

std::optional<std::string> FirstExistingTargetTable(const CMdfDatabase& db,
                                                    const DataOutputs& outputs,
                                                    ImportTarget& target) {
  for (uint32_t id : outputs.tables)
    if (auto it = db.catalog.tables.find(id); it != db.catalog.tables.end())
      if (std::optional<std::string> found = target.ExistingTable(it->second.fullName, false))
        return found;
  if (!outputs.deleted) return std::nullopt;
  for (const std::string& name : DeletedNames(db, outputs))
    if (std::optional<std::string> found = target.ExistingTable(name + kDeletedTableSuffix, false))
      return found;
  if (outputs.all) return target.ExistingTable(kDroppedTableNamePrefix, true);
  return std::nullopt;
}

}  // namespace tollamer::cli
