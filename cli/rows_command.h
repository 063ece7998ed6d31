// `tollamer-cli rows FILE TABLE [--version 2000|2005|auto] [--page N]
// [--all] [--json]`: opens the file as the desktop program does and prints
// the column titles and the rows of one grid page (or of all of them):
// tab-separated lines, or one JSON object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/catalog_model.h"

namespace tollamer::cli {

struct RowsOptions {
  std::string path;
  std::string table;             // dbo.name, name, or the object id
  std::string version = "auto";  // "2000", "2005" or "auto"
  int32_t page = 1;              // grid page, 1-based
  bool all = false;              // every grid page
  bool json = false;
};

// The table named `name`: its full name (owner.name), its name without the
// owner, or its object id, in that order of preference.
const TableInfo* FindTableByName(const Catalog& catalog, const std::string& name);

// One line of tab-separated cells; tabs, line breaks and backslashes in a
// cell are written as \t, \n, \r and \\.
std::string TabLine(const std::vector<std::string>& cells);

// Exit code: 0 success, 1 the file could not be opened or the table is not
// in the catalog, 2 bad options.
int RunRows(const RowsOptions& options);

}  // namespace tollamer::cli
