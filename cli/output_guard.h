// No output is replaced unasked. Before a command writes anything it looks
// for the outputs it would replace: a file it would write (into a folder or
// by name), or a table of the same name in the import target. The first
// one found stops the run with exit code 2 and a line naming it and
// --force; with --force the outputs are replaced, each still written under
// a temporary name and renamed into place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "output/data_export.h"
#include "output/db_import.h"

namespace tollamer::cli {

// "--force: replace outputs that exist", the option's help line.
inline constexpr char kForceHelp[] = "Replace outputs that already exist (files, tables)";

// True (after the line on stderr) when `force` is false and `existing`
// names an output that exists.
bool RefuseExisting(const std::optional<std::string>& existing, bool force);

// The first of the paths that exists as a file system entry.
std::optional<std::string> FirstExistingPath(const std::vector<std::string>& paths);

// What export-data and import would write for `tables` (every table of the
// catalog when `all`), with --deleted their deleted rows' outputs too.
struct DataOutputs {
  std::vector<uint32_t> tables;
  bool all = true;
  bool deleted = false;
  std::vector<TableInfo> described;  // --schema: the dropped tables' names
};

// export-data into `folder`: the first table file (or deleted rows' file)
// that exists.
std::optional<std::string> FirstExistingExportFile(const CMdfDatabase& db,
                                                   const DataOutputs& outputs, DataFormat format,
                                                   const std::string& folder);
// import: the first table of the target that a table would replace.
std::optional<std::string> FirstExistingTargetTable(const CMdfDatabase& db,
                                                    const DataOutputs& outputs,
                                                    ImportTarget& target);

}  // namespace tollamer::cli
