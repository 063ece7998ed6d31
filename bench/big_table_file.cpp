#include "bench/big_table_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/pagestore/iam_layout.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/pfs_layout.h"
#include "tests/fixtures/page_builder.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/user_rows_database.h"

namespace tollamer::bench {

using namespace fixtures;
using namespace fixtures::user_rows;

namespace {

constexpr uint32_t kTableId = 245575913;

sql2005::Table2005 OrdersTable() {
  sql2005::Table2005 t{kTableId, "orders", 1};
  t.columns = {{"id", 56, 0, 4, 10, 0, true},
               {"customer", 167, 0, 40, 0, 0, true},
               {"amount", 60, 0, 8, 19, 4},
               {"placed", 61, 0, 8, 23, 3},
               {"note", 231, 0, 100}};
  t.dataPages = 8;
  return t;
}

// One page of rows, as many as fit.
std::vector<Bytes> PageOfRows(const std::vector<UserColumn>& columns, uint64_t& rows) {
  std::vector<Bytes> records;
  size_t used = page_layout::kHeaderSize;
  for (int32_t i = 0;; ++i) {
    std::vector<Value> values = {
        Fixed(Int32(i)), Var(Text("Customer \"" + std::to_string(i) + "\", Ltd")),
        Fixed(Int64(1234567 + i)), Fixed(DateTime(40000 + i, 300 * 3600)),
        i % 3 ? Var(NChar("注意 note " + std::to_string(i), 30)) : Null()};
    Bytes record = UserRecord(columns, values);
    if (used + record.size() + 2 * (records.size() + 1) > page_layout::kPageSize - 64) break;
    used += record.size();
    records.push_back(std::move(record));
  }
  rows = records.size();
  return records;
}

}  // namespace

BigTableFile WriteBigTableFile(const std::string& path, uint64_t bytes) {
  sql2005::Database2005 description;
  description.tables = {OrdersTable()};
  sql2005::Built2005 built = sql2005::BuildDatabase2005(description);
  std::vector<UserColumn> columns = Columns(description.tables[0].columns);
  uint64_t rows_per_page = 0;
  std::vector<Bytes> page_rows = PageOfRows(columns, rows_per_page);
  FillTablePages2005(built, kTableId, std::vector<std::vector<Bytes>>(8, page_rows),
                     FormatVersion::kSql2008);

  const sql2005::UnitLayout& unit = built.layout.tables.at(kTableId);
  Bytes page = built.file.MutablePage(unit.DataPages()[0]);
  // The file's own pages end on an extent boundary, then every copy lies in
  // an extent that the table's IAM page names (one GAM interval is enough
  // for files up to 3.9 GiB), so the table's allocation finds them all.
  const uint64_t first = (built.file.PageCount() + 7) / 8 * 8;
  const uint64_t total = std::max<uint64_t>(first, bytes / page_layout::kPageSize / 8 * 8);
  Bytes& iam = built.file.MutablePage(unit.iamPage);
  const size_t bitmap_slot = page_layout::SlotEntryOffset(iam_layout::kBitmapRecordSlot);
  const size_t bitmap =
      (iam[bitmap_slot] | (iam[bitmap_slot + 1] << 8)) + iam_layout::kRecordHeaderSize;
  for (uint64_t e = first / 8; e < total / 8 && e / 8 < iam_layout::kBitmapBytes; ++e)
    iam[bitmap + e / 8] |= uint8_t(1u << (e % 8));
  FinishPage(iam, FormatVersion::kSql2008);
  // The first PFS page marks the copies allocated (past it, the copy lying
  // where a PFS page would is no PFS page: the pages count as allocated).
  Bytes& pfs = built.file.MutablePage(pfs_layout::kFirstPfsPage);
  for (uint64_t p = first; p < std::min<uint64_t>(total, pfs_layout::kPagesPerPfs); ++p)
    pfs[pfs_layout::EntryOffsetOf(p)] |= pfs_layout::kAllocatedBit;
  FinishPage(pfs, FormatVersion::kSql2008);
  built.file.SetPageCount(static_cast<uint32_t>(first));
  Bytes image = built.file.Image();

  BigTableFile out;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return out;
  bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  for (uint64_t p = first; ok && p < total; ++p) {
    PutU32(page, page_layout::kPageId, static_cast<uint32_t>(p));
    ApplyChecksum(page);
    ok = std::fwrite(page.data(), 1, page.size(), f) == page.size();
  }
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return out;
  out.path = path;
  out.tableId = kTableId;
  out.pages = total;
  out.dataPages = 8 + (total - first);
  out.rowsPerPage = rows_per_page;
  return out;
}

}  // namespace tollamer::bench
