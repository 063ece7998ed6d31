// The body of the page-level row targets: the catalog of a fixed database
// is read once; each input is one data page (and, when longer than a page,
// a text page after it) written in place of the table's first data page
// (and of its first text page), and every row of the table is decoded both
// to grid text and to typed values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_layout.h"
#include "engine/rows/table_rows.h"
#include "engine/rows/typed_rows.h"
#include "fuzz/fixed_database.h"
#include "fuzz/fuzz_support.h"

namespace tollamer::fuzz {

struct OpenFixedTable {
  explicit OpenFixedTable(FixedKind kind, VersionSetting version)
      : file(kind), db(messages), version(version) {
    if (!db.OpenFile(file.Path())) std::abort();
    (void)OpenCatalog(db, version);
    if (db.catalog.tables.empty()) std::abort();
    tableId = db.catalog.tables.begin()->first;
    (void)ForEachTableRow(db, version, tableId, [](const std::vector<std::string>&) { return true; });
    auto list = db.dataPageLists.find(tableId);
    if (list == db.dataPageLists.end() || list->second.empty()) std::abort();
    dataPage = list->second.front();
    // The first text page: the fixtures place large values from page 400.
    for (uint64_t n = 0; n < file.PageCount(); ++n) {
      const std::vector<uint8_t>& bytes = FixedDatabase(kind);
      if (bytes[n * kPageBytes + page_layout::kType] ==
          static_cast<uint8_t>(page_layout::PageType::kTextMix)) {
        textPage = n;
        break;
      }
    }
  }
  FixedFile file;
  SilentMessages messages;
  CMdfDatabase db;
  VersionSetting version;
  uint32_t tableId = 0;
  uint64_t dataPage = 0;
  uint64_t textPage = 0;
};

inline int FuzzPageRows(FixedKind kind, VersionSetting version, const uint8_t* data, size_t size) {
  static OpenFixedTable* fixed = new OpenFixedTable(kind, version);
  std::span<const uint8_t> input(data, size);
  fixed->file.Put(fixed->dataPage, input.first(std::min(size, kPageBytes)));
  if (size > kPageBytes && fixed->textPage != 0)
    fixed->file.Put(fixed->textPage, input.subspan(kPageBytes));
  size_t cells = 0;
  (void)ForEachTableRow(fixed->db, version, fixed->tableId, [&](const std::vector<std::string>& row) {
    cells += row.size();
    return true;
  });
  TypedTableStats stats;
  (void)ForEachTypedRow(fixed->db, version, fixed->tableId, [&](const std::vector<TypedValue>& row) {
    cells += row.size();
    return true;
  }, stats);
  fixed->file.Restore();
  return 0;
}

}  // namespace tollamer::fuzz
