// The table row reader of SQL 2000 files: the catalog is built from the
// file, then every row of every table is decoded to grid text.
#include "engine/catalog/open/open_catalog.h"
#include "engine/rows/table_rows.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tollamer::SilentMessages messages;
  tollamer::CMdfDatabase db(messages);
  if (!db.OpenFile(tollamer::fuzz::WriteScratchFile({data, size}))) return 0;
  const auto version = tollamer::VersionSetting::kSql2000;
  (void)tollamer::OpenCatalog(db, version);
  std::vector<uint32_t> ids;
  for (const auto& [id, table] : db.catalog.tables) ids.push_back(id);
  size_t cells = 0;
  for (uint32_t id : ids) {
    (void)tollamer::ForEachTableRow(db, version, id, [&](const std::vector<std::string>& row) {
      cells += row.size();
      return true;
    });
    (void)tollamer::ShowTableData(db, version, id, 2);
  }
  db.Teardown();
  return 0;
}
