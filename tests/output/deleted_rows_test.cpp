// Rows removed by DELETE (ghosted, then cleaned up), a heap DELETE,
// TRUNCATE TABLE and DROP TABLE come back as deleted rows exactly once, in
// files of both versions, each with where it was found; no live row is
// reported deleted, and the live export never holds a deleted row.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/create_table_text.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/rows/deleted_rows.h"
#include "engine/rows/typed_rows.h"
#include "output/deleted_export.h"
#include "tests/fixtures/deleting.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/output/every_type_import.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
namespace del = fixtures::deleting;
namespace sql2000f = fixtures::sql2000;
namespace sql2005f = fixtures::sql2005;

constexpr uint32_t kTable = 500;
constexpr uint32_t kDroppedTable = 600;

enum class Deletion { kGhost, kGhostCleanedUp, kHeapDelete, kTruncate, kTruncateNewUnits, kDrop };
// The second table a case's file had: none, one of the first one's
// columns, or one with a further int column "qty".
enum class Second { kNone, kSameColumns, kMoreColumns };

struct Case {
  const char* name;
  Deletion how;
  bool clustered;
  std::vector<std::pair<int32_t, LeftoverSource>> deleted;  // by id, in any order
  std::vector<int32_t> live;
};

std::string NameOf(int32_t id) { return "row" + std::to_string(id); }

// id int NOT NULL, name varchar(20), amount decimal(9,2), note nvarchar(20)
// (and qty int when the columns have it).
std::vector<Bytes> Rows(const std::vector<UserColumn>& columns, std::vector<int32_t> ids) {
  std::vector<Bytes> rows;
  for (int32_t id : ids) {
    std::vector<Value> values = {Fixed(Int32(id)), Var(Text(NameOf(id))),
                                 Fixed(Decimal(true, 100u * id + 25, 9)),
                                 id % 2 ? Null() : Var(Utf16("n" + std::to_string(id)))};
    if (columns.size() > values.size()) values.push_back(Fixed(Int32(id * 10)));
    rows.push_back(UserRecord(columns, values));
  }
  return rows;
}

// The table's columns, in either version's column description.
template <typename Column>
std::vector<Column> TableColumns(Second second = Second::kNone) {
  std::vector<Column> cols = {{"id", 56, 0, 4, 10, 0, true},
                              {"name", 167, 0, 20, 0, 0, false},
                              {"amount", 106, 0, 5, 9, 2, false},
                              {"note", 231, 0, 40, 0, 0, false}};
  if (second == Second::kMoreColumns) cols.push_back({"qty", 56, 0, 4, 10, 0, false});
  return cols;
}

// The database with its table of rows 1..5 on one page (and, with
// `dropped_table`, a second table of rows 11..13); its table's data pages.
struct Built {
  FileBuilder file{0};
  std::vector<uint32_t> pages;
  std::vector<uint32_t> droppedPages;
};

Built Build2000(bool clustered, Second second) {
  const auto cols = TableColumns<sql2000f::Column2000>();
  sql2000f::Database2000 d;
  d.tables.push_back({kTable, "t", 1, cols, 5, 1, clustered, Rows(Columns(cols), {1, 2, 3, 4, 5})});
  const auto cols2 = TableColumns<sql2000f::Column2000>(second);
  if (second != Second::kNone)
    d.tables.push_back({kDroppedTable, "gone", 1, cols2, 3, 1, false,
                        Rows(Columns(cols2), {11, 12, 13})});
  sql2000f::Layout2000 layout;  // filled by the build before the lists are read
  return {sql2000f::BuildDatabase2000(d, &layout), layout.dataPages[kTable], layout.dataPages[kDroppedTable]};
}

Built Build2005(bool clustered, Second second) {
  const auto cols = TableColumns<sql2005f::Column2005>();
  sql2005f::Database2005 d;
  d.tables.push_back({kTable, "t", 1, cols, 5, 1, clustered});
  const auto cols2 = TableColumns<sql2005f::Column2005>(second);
  if (second != Second::kNone) d.tables.push_back({kDroppedTable, "gone", 1, cols2, 3});
  sql2005f::Built2005 built = sql2005f::BuildDatabase2005(d);
  FillTablePages2005(built, kTable, {Rows(Columns(cols), {1, 2, 3, 4, 5})},
                     FormatVersion::kSql2008);
  if (second != Second::kNone)
    FillTablePages2005(built, kDroppedTable, {Rows(Columns(cols2), {11, 12, 13})},
                       FormatVersion::kSql2008);
  Built b{std::move(built.file)};
  b.pages = built.layout.tables.at(kTable).DataPages();
  if (second != Second::kNone) b.droppedPages = built.layout.tables.at(kDroppedTable).DataPages();
  return b;
}

Built BuildCase(const Case& c, FormatVersion version) {
  const bool is2000 = version == FormatVersion::kSql2000;
  auto build = [&](Second second) {
    return is2000 ? Build2000(c.clustered, second) : Build2005(c.clustered, second);
  };
  Built b = build(Second::kNone);
  const uint32_t page = b.pages.at(0);
  switch (c.how) {
    case Deletion::kGhost:
      // Row 2 ghosted; a copy of its bytes also lies in the free space.
      del::EditPage(b.file, page, version, [](Bytes& p) {
        del::MarkGhost(p, 1);
        del::CopyRecordToFreeSpace(p, 1);
      });
      break;
    case Deletion::kGhostCleanedUp:
      del::EditPage(b.file, page, version, [](Bytes& p) {
        del::MarkGhost(p, 1);
        del::RemoveGhostSlot(p, 1);
      });
      break;
    case Deletion::kHeapDelete:
      // Rows 4 and 2 deleted; a copy of live row 1 and an older image of
      // live row 3 (before an update) lie in the free space.
      del::EditPage(b.file, page, version, [&](Bytes& p) {
        del::CopyRecordToFreeSpace(p, 0);
        Bytes old = Rows(Columns(TableColumns<sql2005f::Column2005>()), {3})[0];
        old[old.size() - 1] = 'X';  // another value of the row's last column
        del::PutInFreeSpace(p, old, 200);
        del::ClearHeapSlot(p, 3);
        del::ClearHeapSlot(p, 1);
      });
      break;
    case Deletion::kTruncate: del::FreePages(b.file, b.pages, version); break;
    case Deletion::kTruncateNewUnits:
    case Deletion::kDrop: {
      // The table's pages before: of another owner (a 2005+ TRUNCATE
      // gives the table new allocation units) or of a table now gone.
      Built before = build(c.how == Deletion::kDrop ? Second::kMoreColumns : Second::kSameColumns);
      del::AppendDroppedPages(b.file, before.file, before.droppedPages, version);
      break;
    }
  }
  return b;
}

const std::vector<Case>& Cases() {
  using S = LeftoverSource;
  static const std::vector<Case> cases = {
      {"clustered DELETE, ghost", Deletion::kGhost, true, {{2, S::kGhost}}, {1, 3, 4, 5}},
      {"ghost cleaned up", Deletion::kGhostCleanedUp, true, {{2, S::kFreeSpace}}, {1, 3, 4, 5}},
      {"heap DELETE", Deletion::kHeapDelete, false,
       {{2, S::kFreeSpace}, {4, S::kFreeSpace}}, {1, 3, 5}},
      {"TRUNCATE", Deletion::kTruncate, false,
       {{1, S::kUnallocatedPage}, {2, S::kUnallocatedPage}, {3, S::kUnallocatedPage},
        {4, S::kUnallocatedPage}, {5, S::kUnallocatedPage}},
       {}},
      {"TRUNCATE, new allocation units", Deletion::kTruncateNewUnits, false,
       {{11, S::kUnallocatedPage}, {12, S::kUnallocatedPage}, {13, S::kUnallocatedPage}},
       {1, 2, 3, 4, 5}},
      {"DROP TABLE", Deletion::kDrop, false,
       {{11, S::kDroppedTable}, {12, S::kDroppedTable}, {13, S::kDroppedTable}},
       {1, 2, 3, 4, 5}},
  };
  return cases;
}

int32_t IdOf(const TypedValue& v) {
  // A dropped table's first placeholder column holds the whole fixed part.
  if (v.kind == TypedKind::kBytes && v.bytes.size() >= 4)
    return static_cast<int32_t>(v.bytes[0] | v.bytes[1] << 8 | v.bytes[2] << 16 |
                                static_cast<uint32_t>(v.bytes[3]) << 24);
  return static_cast<int32_t>(v.integer);
}

TEST(DeletedRowsTest, EveryDeletedRowComesBackOnceWithItsSource) {
  for (FormatVersion fv : {FormatVersion::kSql2000, FormatVersion::kSql2008}) {
    for (const Case& c : Cases()) {
      SCOPED_TRACE(std::string(c.name) + (fv == FormatVersion::kSql2000 ? " 2000" : " 2008"));
      const VersionSetting version =
          fv == FormatVersion::kSql2000 ? VersionSetting::kSql2000 : VersionSetting::kSql2005;
      Built b = BuildCase(c, fv);
      testing::TempDir dir;
      RecordingMessages messages(true);
      CMdfDatabase db(messages);
      ASSERT_TRUE(db.OpenFile(dir.Write("t.mdf", b.file.Image())));
      if (version == VersionSetting::kSql2000) OpenCatalog2000(db);
      else tollamer::sql2005::OpenCatalog2005(db);

      std::vector<int32_t> live;
      TypedTableStats live_stats;
      ForEachTypedRow(db, version, kTable, [&](const std::vector<TypedValue>& row) {
        live.push_back(IdOf(row[0]));
        return true;
      }, live_stats);
      std::sort(live.begin(), live.end());
      EXPECT_EQ(live, c.live);

      std::vector<std::pair<int32_t, LeftoverSource>> found;
      const LeftoverPages leftovers = FindLeftoverPages(db, version);
      DeletedRowStats stats;
      ForEachDeletedRow(db, version, kTable, leftovers, [&](const DeletedRow& row) {
        found.emplace_back(IdOf(row.values[0]), row.source);
        EXPECT_EQ(row.values[1].text, NameOf(IdOf(row.values[0])));
        EXPECT_EQ(row.values[2].text, std::to_string(IdOf(row.values[0])) + ".25");
        return true;
      }, stats);
      std::vector<DroppedTable> dropped = FindDroppedTables(db, leftovers);
      ASSERT_EQ(dropped.size(), c.how == Deletion::kDrop ? 1u : 0u);
      for (DroppedTable& d : dropped)
        ForEachDroppedRow(db, version, d, [&](const DeletedRow& row) {
          found.emplace_back(IdOf(row.values[0]), row.source);
          return true;
        }, stats);
      std::sort(found.begin(), found.end());
      EXPECT_EQ(found, c.deleted);
      EXPECT_EQ(stats.rejected, 0u);

      // A dropped table described by its CREATE TABLE statement is read in
      // its own columns and name.
      const std::vector<TableInfo> described = ParseCreateTables(
          "CREATE TABLE [dbo].[other] ([id] bigint NOT NULL, [x] varchar(9));\n"
          "-- the dropped one\n"
          "CREATE TABLE dbo.gone (id int NOT NULL, name varchar(20) NULL,\n"
          "  amount decimal(9, 2), note nvarchar(20), qty int, CONSTRAINT pk PRIMARY KEY (id))");
      for (DroppedTable& d : FindDroppedTables(db, leftovers, described)) {
        EXPECT_EQ(d.table.fullName, "dbo.gone");
        size_t rows = 0;
        ForEachDroppedRow(db, version, d, [&](const DeletedRow& row) {
          EXPECT_EQ(row.values[1].text, NameOf(IdOf(row.values[0])));
          EXPECT_EQ(row.values[2].text, std::to_string(IdOf(row.values[0])) + ".25");
          ++rows;
          return true;
        }, stats);
        EXPECT_EQ(rows, c.deleted.size());
      }

      // The files: the table's deleted rows beside its live ones, with the
      // three location columns.
      const std::string out = dir.File("out");
      std::filesystem::create_directories(out);
      std::vector<TableDataResult> results = ExportDeletedRows(db, version, {}, out);
      const std::string csv = testing::ReadText(out + "/dbo.t.deleted.csv");
      EXPECT_TRUE(csv.starts_with("id,name,amount,note,_source,_page,_slot\r\n")) << csv;
      const size_t table_rows = c.how == Deletion::kDrop ? 0 : c.deleted.size();
      EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), 1 + table_rows);
      EXPECT_EQ(results.size(), 1u + dropped.size());

      // Imported: a "_deleted" table of the same rows beside nothing else
      // (no table without deleted rows gets one).
      std::string error;
      const std::string target = dir.File("out.db");
      {
        std::unique_ptr<ImportTarget> sqlite = OpenImportTarget("sqlite:" + target, error);
        ASSERT_TRUE(sqlite) << error;
        ImportDeletedRows(db, version, {}, *sqlite);
      }
      const std::string tables = testing::Sqlite(target).Row(
          "SELECT group_concat(name) FROM sqlite_master WHERE type = 'table'")[0];
      EXPECT_EQ(tables, c.how == Deletion::kDrop
                            ? "dbo_dropped_" + std::to_string(dropped[0].owner) + "_deleted"
                            : "dbo_t_deleted");
    }
  }
}

}  // namespace
}  // namespace tollamer
