// The body of the system-page targets: each input is one page written over
// the page of a fixed database that its header's page number names (system
// table pages in the seeds, so that mutations land on sysobjects, syscolumns,
// sysschobjs, syscolpars, sysrscols, sysallocunits and the rest), then the
// catalog is built from the file and every table's rows are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/catalog/open/open_catalog.h"
#include "engine/rows/table_rows.h"
#include "fuzz/fixed_database.h"
#include "fuzz/fuzz_support.h"

namespace tollamer::fuzz {

// m_pageId's page number: bytes 32..35 of the page header.
inline constexpr size_t kHeaderPageNumber = 32;

inline int FuzzSystemPage(FixedKind kind, VersionSetting version, const uint8_t* data,
                          size_t size) {
  static FixedFile* file = new FixedFile(kind);
  std::span<const uint8_t> input(data, size);
  file->Put(U32At(input, kHeaderPageNumber) % file->PageCount(), input.first(std::min(size, kPageBytes)));
  SilentMessages messages;
  CMdfDatabase db(messages);
  if (db.OpenFile(file->Path())) {
    (void)OpenCatalog(db, version);
    std::vector<uint32_t> ids;
    for (const auto& [id, table] : db.catalog.tables) ids.push_back(id);
    size_t cells = 0;
    for (uint32_t id : ids)
      (void)ForEachTableRow(db, version, id, [&](const std::vector<std::string>& row) {
        cells += row.size();
        return true;
      });
    db.Teardown();
  }
  file->Restore();
  return 0;
}

}  // namespace tollamer::fuzz
