// Import into SQLite: the type mapping table, every type of a 2005/2008
// table read back through the C API, replacement of an imported table, and
// every real data file with its row counts and whole large values.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <set>

#include "engine/catalog/open/open_catalog.h"
#include "engine/catalog/table_lookup.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/row_reader.h"
#include "engine/values/large_values.h"
#include "engine/values/value_format.h"
#include "output/db_import.h"
#include "output/sqlite_target.h"
#include "output/type_mapping.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/output/every_type_import.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
using testing::Sqlite;

TEST(TypeMapping, OneRowPerTypeAndNumericTakesItsPrecision) {
  namespace vt = value_type;
  std::set<uint8_t> seen;
  for (const TypeMapping& m : TypeMappings()) {
    EXPECT_TRUE(seen.insert(m.xtype).second) << "type " << int(m.xtype) << " twice";
    EXPECT_NE(std::string(m.sqlite), "");
    EXPECT_NE(std::string(m.postgres), "");
  }
  for (uint8_t id : {vt::kImage, vt::kText, vt::kUniqueIdentifier, vt::kDate, vt::kTime,
                     vt::kDateTime2, vt::kDateTimeOffset, vt::kTinyInt, vt::kSmallInt, vt::kInt,
                     vt::kSmallDateTime, vt::kReal, vt::kMoney, vt::kDateTime, vt::kFloat,
                     vt::kSqlVariant, vt::kNText, vt::kBit, vt::kDecimal, vt::kNumeric,
                     vt::kSmallMoney, vt::kBigInt, vt::kVarBinary, vt::kVarChar, vt::kBinary,
                     vt::kChar, vt::kTimestamp, vt::kNVarChar, vt::kNChar, vt::kClr, vt::kXml})
    EXPECT_TRUE(seen.count(id)) << "type " << int(id) << " has no mapping";
  const struct {
    uint8_t xtype, prec, scale;
    const char* postgres;
    const char* sqlite;  // null: not checked
  } cases[] = {
      {vt::kDecimal, 12, 3, "numeric(12,3)", "NUMERIC"},
      {vt::kDecimal, 0, 3, "numeric(38,3)", nullptr},  // a damaged precision still gives a valid type
      {vt::kDecimal, 5, 9, "numeric(5,0)", nullptr},   // and so does a scale above the precision
      {vt::kUniqueIdentifier, 5, 9, "uuid", nullptr},
      {vt::kMoney, 5, 9, "numeric(19,4)", nullptr},
      {200, 5, 9, "text", "TEXT"}};  // unknown ids keep their values as text
  for (const auto& k : cases) {
    const ColumnInfo c{.xtype = k.xtype, .xprec = k.prec, .xscale = k.scale};
    EXPECT_EQ(PostgresColumnType(c), k.postgres) << int(k.xtype);
    if (k.sqlite) {
      EXPECT_EQ(SqliteColumnType(c), k.sqlite) << int(k.xtype);
    }
  }
  EXPECT_EQ(FlatTableName("dbo.Order Details"), "dbo_Order Details");
  EXPECT_EQ(QuotedIdentifier("a\"b"), "\"a\"\"b\"");
}

// The new file appears only when complete; a second import into it keeps
// its other tables, replaces the imported one and drops the suspect rows'
// table the first left for it (the second kept no row apart).
TEST(SqliteImport, EveryTypeComesBackWithItsStorageClass) {
  testing::TempDir dir;
  testing::EveryTypeSource source(dir);
  ASSERT_TRUE(source.opened);
  const std::string path = dir.File("out.db");
  for (int round = 0; round < 2; ++round) {
    std::string error;
    std::unique_ptr<ImportTarget> target = OpenImportTarget("sqlite:" + path, error);
    ASSERT_TRUE(target) << error;
    // The table a second import replaces, its name's case ignored as SQLite does.
    EXPECT_EQ(target->ExistingTable("DBO.EveryType", false),
              round ? std::optional<std::string>("dbo_everytype") : std::nullopt);
    EXPECT_EQ(target->ExistingTable("dbo.every", true).has_value(), round == 1);
    EXPECT_FALSE(target->ExistingTable("dbo.every_ype", false) || target->ExistingTable("dbo.every", false));
    std::vector<TableDataResult> r = ImportTables(source.db, VersionSetting::kSql2005, {}, *target);
    ASSERT_EQ(r.size(), 1u);
    ASSERT_TRUE(r[0].ok) << r[0].error;
    EXPECT_EQ(r[0].target, "dbo_everytype");
    EXPECT_EQ(std::filesystem::exists(path), round == 1) << "still being written";
    target.reset();
    // The source file and the database: no temporary file is left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()), 2);
    if (round == 1) break;
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(writer, "CREATE TABLE kept (x); CREATE TABLE dbo_EveryType_suspect (x)",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
  }
  Sqlite s(path);
  EXPECT_EQ(s.Number("SELECT count(*) FROM sqlite_master WHERE name IN ('kept', 'dbo_everytype', "
                     "'dbo_EveryType_suspect')"),
            2);
  EXPECT_EQ(s.Number("SELECT count(*) FROM dbo_everytype"), 2);
  const std::string first = " FROM dbo_everytype WHERE whole IS NOT NULL";
  EXPECT_EQ(s.Row("SELECT tiny, whole, big, flag, cash, dec, flt4, flt8, dt, guid, bin, chr, "
                  "nvchr, txt, img, d, dto" + first, true),
            (std::vector<std::string>{"integer", "integer", "integer", "integer", "text", "real",
                                      "real", "real", "text", "text", "blob", "text", "text",
                                      "text", "blob", "text", "text"}));
  EXPECT_EQ(s.Row("SELECT cash, num, dt, guid, hex(bin), nvchr, txt, d, t, dto, big_text" + first),
            (std::vector<std::string>{"12.3456", "-1234.567", "1901-01-02 00:00:00.000",
                                      "00112233-4455-6677-8899-AABBCCDDEEFF", "DEADBEEF", "Grüße",
                                      "long text value", "2008-05-17", "13:14:15.1234567",
                                      "2008-05-17 13:14:15.1234567+02:00", "off-row text"}));
  // SQLite reads the datetime as a timestamp.
  EXPECT_EQ(s.Row("SELECT julianday(dt) - julianday('1901-01-02')" + first)[0], "0.0");
  EXPECT_EQ(s.Row("SELECT count(*) FROM dbo_everytype WHERE whole IS NULL AND txt IS NULL AND "
                  "img IS NULL AND dt IS NULL")[0],
            "1");
}

TEST(SqliteImport, AnUnusableTargetIsReported) {
  std::string error;
  EXPECT_EQ(OpenImportTarget("sqlite:/no/such/folder/x.db", error), nullptr);
  EXPECT_NE(error.find("/no/such/folder/x.db"), std::string::npos);
  EXPECT_EQ(OpenImportTarget("mysql://x", error), nullptr);
}

// A table sent in batches of uneven sizes (several rows per statement, one
// by one across a transaction's end) arrives whole and in order.
TEST(SqliteImport, RowsSentInUnevenBatchesArriveWholeAndInOrder) {
  testing::TempDir dir;
  const std::string path = dir.File("batches.db");
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget("sqlite:" + path, error);
  ASSERT_TRUE(target) << error;
  TableInfo table{.id = 5, .fullName = "dbo.t",
                  .columns = {{1, {"n", "", "", "", value_type::kInt}},
                              {2, {"s", "", "", "", value_type::kVarChar}}}};
  std::string name;
  ASSERT_TRUE(target->BeginTable(table, name)) << target->Error();
  // Batch sizes that leave groups unaligned with the 10,000-row commits.
  constexpr int64_t kRows = 2 * kSqliteRowsPerTransaction + 77;
  int64_t next = 0;
  for (int64_t size : {int64_t{1}, int64_t{49}, int64_t{50}, int64_t{333}, kRows}) {
    std::string batch;
    uint64_t count = 0;
    for (; count < uint64_t(size) && next < kRows; ++count, ++next)
      target->PrepareRow({TypedValue::Integer(next), TypedValue::Text("r" + std::to_string(next))},
                         batch);
    ASSERT_TRUE(target->AddPreparedRows(batch, count)) << target->Error();
  }
  ASSERT_TRUE(target->AddRow({TypedValue::Integer(kRows)})) << target->Error();
  ASSERT_TRUE(target->EndTable()) << target->Error();
  target.reset();

  EXPECT_EQ(Sqlite(path).Row("SELECT count(*), sum(n = rowid - 1), sum(s = 'r' || n), "
                            "sum(s IS NULL) FROM dbo_t"),
            (std::vector<std::string>{std::to_string(kRows + 1), std::to_string(kRows + 1),
                                      std::to_string(kRows), "1"}))
      << "all rows, in the order sent, the short row's missing column NULL";
}

// The bytes a text or image column's LOB chain holds for each row, read
// straight through the text pointers.
std::vector<size_t> LobLengths(CMdfDatabase& db, VersionSetting version, const TableInfo& table,
                               const std::string& column) {
  std::vector<size_t> lengths;
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, table.id);
  if (!walk) return lengths;
  const std::vector<ColumnPlan> plan = walk->Plan();
  ForEachTableRecord(db, version, table.id, [&](const TableRecord& r) {
    for (size_t i = 0; i < plan.size(); ++i) {
      if (plan[i].column->name != column) continue;
      const CellLocation& cell = r.cells[i];
      std::optional<ByteView> bytes = r.Record().Slice(cell.offset, cell.length);
      std::optional<TextPointer> p = bytes ? DecodeTextPointer(*bytes) : std::nullopt;
      std::string value;
      if (cell.kind == CellKind::kVariable && p) {
        ReadTextValue(db.Store(), walk->Profile().Records().textTree, p->pageId, p->slotId,
                      p->fileId, value, true, false);
      }
      lengths.push_back(value.size());
    }
    return true;
  });
  return lengths;
}

void ImportRealFile(const std::string& file_path) {
  SCOPED_TRACE(file_path);
  testing::TempDir dir;
  RecordingMessages messages;
  CMdfDatabase db(messages);
  ASSERT_TRUE(db.OpenFile(file_path));
  const VersionSetting version = DetectServerVersion(db.Store()).setting;
  ASSERT_TRUE(OpenCatalog(db, version).built);
  const std::string path = dir.File("real.db");
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget("sqlite:" + path, error);
  ASSERT_TRUE(target) << error;
  std::vector<TableDataResult> results = ImportTables(db, version, {}, *target);
  target.reset();
  ASSERT_EQ(results.size(), db.catalog.tables.size());
  Sqlite s(path);
  for (const TableDataResult& r : results) {
    ASSERT_TRUE(r.ok) << r.tableName << ": " << r.error;
    EXPECT_EQ(s.Number("SELECT count(*) FROM " + QuotedIdentifier(r.target)),
              static_cast<int64_t>(db.catalog.tables.at(r.tableId).rowCount.value_or(0)))
        << r.tableName;
  }
  if (const TableInfo* table = FindTableByName(db.catalog, "dbo.pub_info")) {
    std::vector<size_t> text = LobLengths(db, version, *table, "pr_info");
    std::vector<size_t> image = LobLengths(db, version, *table, "logo");
    ASSERT_EQ(text.size(), 8u);
    std::vector<size_t> got_text, got_image;
    for (size_t i = 0; i < text.size(); ++i) {
      const std::string row = " FROM dbo_pub_info LIMIT 1 OFFSET " + std::to_string(i);
      // An 8-bit text: one character a stored byte.
      got_text.push_back(s.Number("SELECT length(pr_info)" + row));
      got_image.push_back(s.Number("SELECT length(logo)" + row));
    }
    EXPECT_EQ(got_text, text);
    EXPECT_EQ(got_image, image);
    // Longer than any grid limit (8000 characters).
    EXPECT_GT(*std::max_element(got_text.begin(), got_text.end()), 8000u);
    EXPECT_EQ(s.Row("SELECT typeof(logo) FROM dbo_pub_info LIMIT 1")[0], "blob");
  }
  if (FindTableByName(db.catalog, "dbo.titles")) {
    // Money stays exact: its decimal text with four places, never a double.
    EXPECT_EQ(s.Row("SELECT typeof(price), typeof(advance), price, advance, pubdate FROM "
                    "dbo_titles WHERE title_id = 'BU1032'"),
              (std::vector<std::string>{"text", "text", "19.9900", "5000.0000",
                                        "1991-06-12 00:00:00.000"}));
    EXPECT_EQ(s.Number("SELECT count(*) FROM dbo_titles WHERE typeof(price) = 'real'"), 0);
    // The file's primary key and NOT NULL columns come with the rows.
    EXPECT_EQ(s.Row("SELECT group_concat(name || ':' || pk || ':' || \"notnull\") FROM "
                    "pragma_table_info('dbo_titles') WHERE name IN ('title_id', 'price')"),
              (std::vector<std::string>{"title_id:1:1,price:0:0"}));
    EXPECT_EQ(s.Number("SELECT count(*) FROM dbo_titles WHERE julianday(pubdate) IS NULL"), 0);
  }
}

// The key and NOT NULL come only where the rows keep them; no row is lost,
// whether the table is made with its NOT NULL columns (no key) and a NULL
// comes late, past a commit, or gets its constraints once the rows are in.
TEST(SqliteImport, KeysFollowTheRowsThatKeepThem) {
  const int64_t late = kSqliteRowsPerTransaction + 3;
  struct Case {
    bool keyed;
    int64_t duplicate_at, null_at;  // row numbers, -1: none
    const char* want;  // per column: name, pk, notnull
  } cases[] = {
      {true, -1, -1, "id:1:1,note:0:1"},
      {true, 1, 1, "id:0:1,note:0:0"},  // a duplicate key, a NULL
      {false, -1, -1, "id:0:1,note:0:1"},
      {false, -1, late, "id:0:1,note:0:0"},
      {false, -1, 0, "id:0:1,note:0:0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.want) + " at " + std::to_string(c.null_at));
    testing::TempDir dir;
    const std::string path = dir.File("keys.db");
    std::string error;
    std::unique_ptr<ImportTarget> target = OpenImportTarget("sqlite:" + path, error);
    ASSERT_TRUE(target) << error;
    TableInfo t{.id = 7, .fullName = "dbo.t",
                .columns = {{1, {"id", "", "", " NOT NULL", value_type::kInt}},
                            {2, {"note", "", "", " NOT NULL", value_type::kVarChar}}}};
    if (c.keyed)
      t.constraints.indexes.push_back({IndexInfo::Kind::kPrimaryKey, "pk", true, true, {{1, false}}, {}});
    std::string name;
    ASSERT_TRUE(target->BeginTable(t, name)) << target->Error();
    std::string batch;
    const int64_t rows = late + 10;
    for (int64_t i = 0; i < rows; ++i)
      target->PrepareRow({TypedValue::Integer(i == c.duplicate_at ? 0 : i),
                          i == c.null_at ? TypedValue::Null() : TypedValue::Text("n")},
                         batch);
    ASSERT_TRUE(target->AddPreparedRows(batch, rows)) << target->Error();
    ASSERT_TRUE(target->EndTable()) << target->Error();
    target.reset();
    EXPECT_EQ(Sqlite(path).Row("SELECT group_concat(name || ':' || pk || ':' || \"notnull\"), "
                               "(SELECT count(*) FROM dbo_t), (SELECT count(*) FROM (SELECT id, lag(id) OVER "
                               "(ORDER BY rowid) p FROM dbo_t) WHERE id < p) FROM "
                               "pragma_table_info('dbo_t')"),
              (std::vector<std::string>{c.want, std::to_string(rows), "0"}))
        << "every row, in the order sent";
  }
}

TEST(SqliteImportReal, EveryRealDataFile) {
  TOLLAMER_REQUIRE_REAL_FILE(pubs2000, "pubs-sql2000.mdf");
  for (const char* name :
       {"pubs-sql2000.mdf", "pubs-sql2005.mdf", "pubs-sql2008.mdf", "qlsinhvien-sql2008.mdf"}) {
    std::optional<std::string> path = testing::RealDataFile(name);
    if (path) ImportRealFile(*path);
  }
}

}  // namespace
}  // namespace tollamer
