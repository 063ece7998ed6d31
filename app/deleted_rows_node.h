// The deleted rows shown under a table in the object tree: read once when
// the file is opened (on the open worker), at most a screenful of them per
// table kept as grid texts, with the count found.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"

namespace tollamer::app {

// The tree item under a table that has deleted rows: "已删除的行(3)".
inline constexpr const char* kDeletedRowsLabel = "已删除的行";
std::string DeletedRowsItemText(uint64_t count);
bool IsDeletedRowsItemText(const std::string& text);

struct DeletedRowsOfTable {
  std::vector<std::string> titles;  // the table's columns, then where each row was found
  std::vector<std::vector<std::string>> rows;
  uint64_t found = 0;
};
using DeletedRowsByTable = std::map<uint32_t, DeletedRowsOfTable>;

// Tables whose page list can be had without asking; at most `keep` rows
// each are kept. Tables without deleted rows are left out.
DeletedRowsByTable CollectDeletedRows(CMdfDatabase& db, VersionSetting version, size_t keep);

}  // namespace tollamer::app
