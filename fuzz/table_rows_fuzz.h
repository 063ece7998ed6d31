// The body both row-reader targets share: the catalog of the chosen
// version is built from the input file, then every row of every table is
// decoded to grid text, and a second grid page of each is asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/catalog/open/open_catalog.h"
#include "engine/rows/table_rows.h"
#include "fuzz/fuzz_support.h"

namespace tollamer::fuzz {

inline int FuzzTableRows(const uint8_t* data, size_t size, VersionSetting version) {
  SilentMessages messages;
  CMdfDatabase db(messages);
  if (!db.OpenFile(WriteScratchFile({data, size}))) return 0;
  (void)OpenCatalog(db, version);
  std::vector<uint32_t> ids;
  for (const auto& [id, table] : db.catalog.tables) ids.push_back(id);
  size_t cells = 0;
  for (uint32_t id : ids) {
    (void)ForEachTableRow(db, version, id, [&](const std::vector<std::string>& row) {
      cells += row.size();
      return true;
    });
    (void)ShowTableData(db, version, id, 2);
  }
  db.Teardown();
  return 0;
}

}  // namespace tollamer::fuzz
