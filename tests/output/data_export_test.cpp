// Table data export: CSV fields and INSERT literals, a CSV file read back
// by Python's csv module, INSERT batches and scripts, damaged tables and
// file names.
#include "output/data_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/catalog/open/open_catalog.h"
#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/sql_insert.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;
using namespace fixtures;
using namespace fixtures::user_rows;

constexpr uint32_t kTrickyTableId = 610;
constexpr uint32_t kDamagedTableId = 620;
constexpr uint32_t kSoundTableId = 630;

// dbo.tricky (SQL 2000): values that need CSV quoting (quotes, commas, line
// breaks, NULLs, Unicode, binary). 36923 days: 2001-02-03; 0 days and
// ticks: 1900-01-01 00:00, which the grid shows as NULL but is a real value.
FileBuilder BuildTrickyDatabase2000() {
  sql2000::Table2000 t{kTrickyTableId, "tricky", 1};
  t.columns = {{"id", 56, 0, 4, 10, 0, true},      {"name", 167, 0, 100, 0, 0, false},
               {"note", 231, 0, 200, 0, 0, false}, {"data", 165, 0, 50, 0, 0, false},
               {"code", 175, 0, 10, 0, 0, false},  {"price", 60, 0, 8, 19, 4, false},
               {"at", 61, 0, 8, 23, 3, false}};
  auto row = [&](int32_t id, Value name, Value note, Value data, Value code, int64_t price,
                 int32_t days, uint32_t ticks) {
    t.records.push_back(UserRecord(Columns(t.columns), {Fixed(Int32(id)), name, note, data, code,
                                                        Fixed(Int64(price)), Fixed(DateTime(days, ticks))}));
  };
  row(1, Var(Text("plain")), Var(Utf16("ascii")), Var({0x00, 0xFF}), Fixed(Char("AB", 10)), 125000,
      36923, 300 * 3600 * 4 + 300 * 5 * 60 + 300 * 6 + 2);
  row(2, Var(Text("say \"hi\", ok")), Var(Utf16("Grüße 你好")), Null(), Fixed(Char("x", 10)), -10000, 0, 0);
  row(3, Var(Text("line1\r\nline2\nline3")), Null(), Var({}), Fixed(Char(" lead", 10)), 0, -1, 0);
  row(4, Var(Text("")), Var(Utf16("")), Null(), Null(), 1, 36923, 1);
  t.rowCount = t.records.size();
  return sql2000::BuildDatabase2000({.tables = {t}});
}

// dbo.damaged: 3 data pages of two rows each, the second page zeroed, which
// the allocation walk leaves out of the list (`pages` names all three);
// dbo.sound: one page of three rows.
struct DamagedDatabase {
  FileBuilder file{0};
  std::vector<uint64_t> pages;
};

DamagedDatabase BuildDamagedDatabase2000() {
  sql2000::Table2000 damaged{kDamagedTableId, "damaged", 1,
                             {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 3000}}, 6, 3};
  for (int32_t i = 0; i < 6; ++i)
    damaged.records.push_back(
        UserRecord(Columns(damaged.columns), {Fixed(Int32(i)), Var(Bytes(3000, 'a' + i))}));
  sql2000::Table2000 sound{kSoundTableId, "sound", 1, {{"n", 56, 0, 4, 10, 0, true}}, 3};
  for (int32_t i = 0; i < 3; ++i)
    sound.records.push_back(UserRecord(Columns(sound.columns), {Fixed(Int32(100 + i))}));
  sql2000::Layout2000 layout;
  DamagedDatabase out;
  out.file = sql2000::BuildDatabase2000({.tables = {damaged, sound}}, &layout);
  for (uint32_t p : layout.dataPages.at(kDamagedTableId)) out.pages.push_back(p);
  out.file.MutablePage(static_cast<uint32_t>(out.pages.at(1))) = Bytes(8192, 0);
  return out;
}

class DataExportTest : public ::testing::Test {
 protected:
  CMdfDatabase& Open(const fixtures::FileBuilder& file) {
    db_ = std::make_unique<CMdfDatabase>(messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("t.mdf", file.Image())));
    EXPECT_TRUE(OpenCatalog(*db_, VersionSetting::kSql2000).built);
    return *db_;
  }
  std::string OutDir() {
    fs::path p = dir_.path() / "out";
    fs::create_directories(p);
    return p.string();
  }

  testing::TempDir dir_;
  RecordingMessages messages_;
  std::unique_ptr<CMdfDatabase> db_;
};

TEST(CsvFormat, QuotesOnlyWhatNeedsIt) {
  std::string out;
  AppendCsvRow(out, {TypedValue::Text("a,b"), TypedValue::Text("say \"x\""), TypedValue::Null(),
                     TypedValue::Text(""), TypedValue::Text("l1\nl2"), TypedValue::Integer(-3),
                     TypedValue::Bytes({0x00, 0xAB}), TypedValue::Money(-50)});
  EXPECT_EQ(out, "\"a,b\",\"say \"\"x\"\"\",,\"\",\"l1\nl2\",-3,0x00AB,-0.0050\r\n");
  out.clear();
  AppendCsvHeader(out, {"id", "Unit Price", "a\"b"});
  EXPECT_EQ(out, "id,Unit Price,\"a\"\"b\"\r\n");
}

TEST(CsvFormat, LongFieldsAreQuotedWhereverTheByteLies) {
  // The scan takes eight bytes a step: each special byte at each place of
  // a word, and in the tail after the last whole word.
  for (char special : {',', '"', '\r', '\n'}) {
    for (size_t at = 0; at < 19; ++at) {
      std::string text(19, 'x');
      text[at] = special;
      std::string out;
      AppendCsvField(out, text, false);
      std::string expected = text;
      if (special == '"') expected.insert(at, 1, '"');
      EXPECT_EQ(out, "\"" + expected + "\"") << int(special) << " at " << at;
    }
  }
  // The row writer and the plan's writers (8-bit ASCII text, UTF-16 text
  // converted as written) give the same field at every length around their
  // 8- and 16-byte steps, whatever byte lies where; 'e' with an acute
  // accent makes the text non-ASCII, which the 8-bit writer refuses.
  const TextForm& form = CsvTextForm();
  for (size_t size = 1; size <= 70; ++size) {
    for (const char* special : {",", "\"", "\r", "\n", "\xC3\xA9", "x"}) {
      for (size_t at = 0; at < size; at += (size > 20 ? 7 : 1)) {
        std::string text(size - 1, 'x');
        text.insert(at, special);
        if (size % 3 == 0) text.insert(size % 2 ? 0 : text.size(), "\"");
        std::string expected;
        AppendCsvField(expected, text, true);
        std::string row;
        AppendCsvRow(row, {TypedValue::Text(text)});
        EXPECT_EQ(row, expected + "\r\n") << text;
        std::vector<char> room(3 * text.size() + 3);
        char* end = form.putAscii(room.data(), text);
        if (special[0] == '\xC3') {
          EXPECT_EQ(end, nullptr) << text;
        } else {
          ASSERT_NE(end, nullptr);
          EXPECT_EQ(std::string(room.data(), end), expected) << text;
        }
        std::vector<uint8_t> utf16;
        for (unsigned char c : text) {
          if (c == 0xA9) continue;  // the accent's second byte
          utf16.push_back(c == 0xC3 ? 0xE9 : c);
          utf16.push_back(0);
        }
        end = form.putWide(room.data(), utf16.data(), utf16.size() / 2, true);
        EXPECT_EQ(std::string(room.data(), end), expected) << text;
      }
    }
  }
  std::string out;
  AppendCsvField(out, "\"\"no, \xE4\xB8\xAD\"", false);
  EXPECT_EQ(out, "\"\"\"\"\"no, \xE4\xB8\xAD\"\"\"");
  out.clear();
  AppendCsvField(out, std::string(40, 'y') + "\x2C\xAC\x8C", false);  // bytes near ',' and '\r'
  EXPECT_EQ(out.front(), '"');
  out.clear();
  AppendCsvField(out, "\xAC\x8C\xA2\x8A\xAC\x8C\xA2\x8A\xAC", false);
  EXPECT_EQ(out, "\xAC\x8C\xA2\x8A\xAC\x8C\xA2\x8A\xAC");
  out.clear();
  AppendCsvField(out, "", false);
  EXPECT_EQ(out, "");
}

ColumnInfo Column(uint8_t xtype, std::string name = "c") {
  return {.name = std::move(name), .xtype = xtype};
}

TEST(SqlInsert, LiteralsOfEveryKind) {
  namespace vt = value_type;
  EXPECT_EQ(SqlLiteral(Column(vt::kVarChar), TypedValue::Text("it's")), "'it''s'");
  EXPECT_EQ(SqlLiteral(Column(vt::kNVarChar), TypedValue::Text("ok")), "N'ok'");
  // Text outside ASCII needs N'' even in an 8-bit column.
  EXPECT_EQ(SqlLiteral(Column(vt::kVarChar), TypedValue::Text("café")), "N'café'");
  EXPECT_EQ(SqlLiteral(Column(vt::kVarBinary), TypedValue::Bytes({0x0A, 0xFF})), "0x0AFF");
  EXPECT_EQ(SqlLiteral(Column(vt::kVarBinary), TypedValue::Bytes({})), "0x");
  EXPECT_EQ(SqlLiteral(Column(vt::kInt), TypedValue::Null()), "NULL");
  const TypedDateTime t{.year = 1999, .month = 12, .day = 31, .hour = 23, .fraction = 7, .fractionDigits = 3};
  EXPECT_EQ(SqlLiteral(Column(vt::kDateTime), TypedValue::DateTime(t)),
            "'1999-12-31T23:00:00.007'");
  EXPECT_EQ(SqlLiteral(Column(vt::kFloat), TypedValue::Float(1.0 / 0.0)), "NULL");
  EXPECT_EQ(SqlLiteral(Column(vt::kMoney), TypedValue::Money(123456)), "12.3456");
  EXPECT_EQ(BracketFullName("dbo.Order Details"), "[dbo].[Order Details]");
  EXPECT_EQ(BracketName("a]b"), "[a]]b]");
  // The script's own text writer (sixteen bytes a step) gives the same
  // literals: a quote or a byte outside ASCII at every place of every step.
  const ColumnInfo narrow = Column(vt::kVarChar), wide = Column(vt::kNVarChar);
  const SqlInsertWriter writer("dbo.t", {&narrow});
  for (const std::string special : {"'", "\xC3\xA9", "''"}) {
    for (size_t size : {0, 1, 15, 16, 17, 40}) {
      for (size_t at = 0; at <= size; ++at) {
        std::string text(size, 'x');
        text.insert(at, special);
        const TextForm& form = writer.Form();
        const Bytes utf16 = Utf16(text);
        for (const ColumnInfo* c : {&narrow, &wide}) {
          const std::string literal = SqlLiteral(*c, TypedValue::Text(text));
          std::string put(3 * text.size() + 3, '\0');
          EXPECT_EQ(std::string(put.data(), form.putText(put.data(), text, c == &wide)), literal);
          EXPECT_EQ(std::string(put.data(), form.putWide(put.data(), utf16.data(), utf16.size() / 2,
                                                         c == &wide)),
                    literal);
          if (c == &wide) continue;
          char* ascii = form.putAscii(put.data(), text);
          EXPECT_EQ(ascii ? std::string(put.data(), ascii) : "not ASCII",
                    special[0] & 0x80 ? "not ASCII" : literal);
        }
      }
    }
  }
}

TEST(SqlInsert, BatchesOfAThousandAndNoTimestampColumn) {
  ColumnInfo id = Column(value_type::kInt, "id");
  ColumnInfo stamp = Column(value_type::kTimestamp, "ts");
  SqlInsertWriter writer("dbo.t", {&id, &stamp});
  std::string out;
  for (int i = 0; i < 1000; ++i)
    writer.AppendRow(out, {TypedValue::Integer(i), TypedValue::Bytes({1, 2, 3, 4, 5, 6, 7, 8})});
  EXPECT_EQ(out.find("ts"), std::string::npos);
  EXPECT_EQ(out.find("0x01"), std::string::npos);
  EXPECT_EQ(out.rfind("INSERT INTO [dbo].[t] ([id]) VALUES (999);\r\nGO\r\n"),
            out.size() - 48);
  size_t gos = 0;
  for (size_t p = out.find("GO\r\n"); p != std::string::npos; p = out.find("GO\r\n", p + 1)) ++gos;
  EXPECT_EQ(gos, 1u);
  EXPECT_EQ(writer.Footer(), "");  // the batch just ended
  writer.AppendRow(out, {TypedValue::Integer(1000), TypedValue::Null()});
  EXPECT_EQ(writer.Footer(), "GO\r\n");
  // A table with an IDENTITY column takes its stored values between
  // IDENTITY_INSERT ON and OFF.
  SqlInsertWriter keyed("dbo.t", {&id}, true);
  EXPECT_EQ(keyed.Header(), "SET NOCOUNT ON\r\nGO\r\nSET IDENTITY_INSERT [dbo].[t] ON\r\nGO\r\n");
  keyed.AppendRow(out, {TypedValue::Integer(1)});
  EXPECT_EQ(keyed.Footer(), "GO\r\nSET IDENTITY_INSERT [dbo].[t] OFF\r\nGO\r\n");
}

// A script of rows from many batches of pages: every row once, in order,
// a "GO" after each thousandth and after the last.
TEST_F(DataExportTest, ScriptBatchesRunAcrossBatchesOfPages) {
  sql2000::Table2000 t{640, "many", 1, {{"n", 56, 0, 4, 10, 0, true}, {"pad", 175, 0, 300}}};
  for (int32_t i = 0; i < 2345; ++i)
    t.records.push_back(UserRecord(Columns(t.columns), {Fixed(Int32(i)), Fixed(Char("p", 300))}));
  t.rowCount = t.records.size();
  t.dataPages = 120;  // two batches of pages
  CMdfDatabase& db = Open(sql2000::BuildDatabase2000({.tables = {t}}));
  std::vector<TableDataResult> results =
      ExportTablesData(db, VersionSetting::kSql2000, {}, DataFormat::kSql, OutDir());
  ASSERT_EQ(results.size(), 1u);
  ASSERT_TRUE(results[0].ok) << results[0].error;
  std::ifstream in(results[0].target, std::ios::binary);
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string expected = "SET NOCOUNT ON\r\nGO\r\n";
  for (int32_t i = 0; i < 2345; ++i) {
    expected += "INSERT INTO [dbo].[many] ([n], [pad]) VALUES (" + std::to_string(i) + ", 'p');\r\n";
    if (i % 1000 == 999) expected += "GO\r\n";
  }
  EXPECT_TRUE(script == expected + "GO\r\n") << script.size() << " bytes, not " << expected.size() + 4;
}

TEST_F(DataExportTest, CsvReadsBackIdenticallyWithPythonsCsvModule) {
  if (std::system("python3 -c 'import csv' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 with its csv module is absent";
  CMdfDatabase& db = Open(BuildTrickyDatabase2000());
  std::vector<TableDataResult> results =
      ExportTablesData(db, VersionSetting::kSql2000, {}, DataFormat::kCsv, OutDir());
  ASSERT_EQ(results.size(), 1u);
  ASSERT_TRUE(results[0].ok) << results[0].error;
  EXPECT_EQ(results[0].stats.rows, 4u);
  EXPECT_EQ(fs::path(results[0].target).filename(), "dbo.tricky.csv");
  // Python prints each field as hex of its UTF-8 bytes ("-" for empty), a
  // line per row.
  const std::string script = dir_.File("read.py");
  std::ofstream(script) << "import csv,sys\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                           "    for row in csv.reader(f):\n"
                           "        print(' '.join(c.encode('utf-8').hex().upper() or '-' for c in row))\n";
  FILE* pipe = popen(("python3 " + script + " " + results[0].target).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  ASSERT_EQ(pclose(pipe), 0);

  // The header, then the values each row reads back as (NULL as empty).
  const std::vector<std::vector<std::string>> rows = {
      {"id", "name", "note", "data", "code", "price", "at"},
      {"1", "plain", "ascii", "0x00FF", "AB", "12.5000", "2001-02-03 04:05:06.007"},
      {"2", "say \"hi\", ok", "Grüße 你好", "", "x", "-1.0000", "1900-01-01 00:00:00.000"},
      {"3", "line1\r\nline2\nline3", "", "0x", " lead", "0.0000", "1899-12-31 00:00:00.000"},
      {"4", "", "", "", "", "0.0001", "2001-02-03 00:00:00.003"},
  };
  std::string expected;
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      expected += i ? " " : "";
      if (row[i].empty()) expected += "-";
      else AppendHexDigits(expected, ByteView(reinterpret_cast<const uint8_t*>(row[i].data()),
                                              row[i].size()));
    }
    expected += "\n";
  }
  EXPECT_EQ(output, expected);
  // NULL is an empty unquoted field; empty text is quoted.
  const std::string csv = testing::ReadText(results[0].target);
  EXPECT_NE(csv.find("\r\n2,\"say \"\"hi\"\", ok\",Grüße 你好,,x,"), std::string::npos);
  EXPECT_NE(csv.find("\r\n4,\"\",\"\",,,0.0001,"), std::string::npos);
}

TEST_F(DataExportTest, ADamagedTableGivesTheRowsOfItsGoodPagesAndTheOthersGoOn) {
  DamagedDatabase d = BuildDamagedDatabase2000();
  CMdfDatabase& db = Open(d.file);
  // The list names the zeroed page and one past the end of the file.
  db.dataPageLists[kDamagedTableId] = d.pages;
  db.dataPageLists[kDamagedTableId].push_back(1u << 20);
  std::vector<TableDataResult> results =
      ExportTablesData(db, VersionSetting::kSql2000, {}, DataFormat::kCsv, OutDir());
  ASSERT_EQ(results.size(), 2u);
  const TableDataResult& damaged = results[0];
  ASSERT_EQ(damaged.tableId, kDamagedTableId);
  EXPECT_TRUE(damaged.ok);
  EXPECT_EQ(damaged.stats.pages, 4u);
  EXPECT_EQ(damaged.stats.pagesSkipped, 2u);
  EXPECT_EQ(damaged.stats.rows, 4u);
  std::string csv = testing::ReadText(damaged.target);
  EXPECT_EQ(csv.rfind("n,s\r\n0,aaa", 0), 0u);
  EXPECT_NE(csv.find("\r\n4,eee"), std::string::npos);
  EXPECT_EQ(csv.find("\r\n2,"), std::string::npos);
  EXPECT_TRUE(results[1].ok);
  EXPECT_EQ(testing::ReadText(results[1].target), "n\r\n100\r\n101\r\n102\r\n");

  // The tables are read in one walk over the file; a list that goes back
  // in the file still gives its rows in its own order, with the same losses.
  std::reverse(db.dataPageLists[kDamagedTableId].begin(), db.dataPageLists[kDamagedTableId].end());
  const std::string again = OutDir() + "/again";
  fs::create_directories(again);
  for (DataFormat format : {DataFormat::kCsv, DataFormat::kSql}) {
    results = ExportTablesData(db, VersionSetting::kSql2000, {}, format, again);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].stats.pagesSkipped, 2u);
    EXPECT_EQ(results[0].stats.rows, 4u);
    csv = testing::ReadText(results[0].target);
    if (format == DataFormat::kSql) {
      EXPECT_TRUE(csv.starts_with("SET NOCOUNT ON\r\nGO\r\n") && csv.ends_with(");\r\nGO\r\n"));
    }
    EXPECT_LT(csv.find(format == DataFormat::kCsv ? "\r\n5," : "VALUES (5,"),
              csv.find(format == DataFormat::kCsv ? "\r\n0," : "VALUES (0,"));
    EXPECT_EQ(results[1].stats.rows, 3u);
  }
}

TEST_F(DataExportTest, FileNamesAreSafeAndDistinctAndFailuresLeaveNoFile) {
  CMdfDatabase& db = Open(BuildDamagedDatabase2000().file);
  db.catalog.tables.at(kDamagedTableId).fullName = "dbo.a/b";
  db.catalog.tables.at(kSoundTableId).fullName = "dbo.a:b";
  const std::string out = OutDir();
  std::vector<TableDataResult> results =
      ExportTablesData(db, VersionSetting::kSql2000, {}, DataFormat::kSql, out);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(fs::path(results[0].target).filename(), "dbo.a_b.sql");
  EXPECT_EQ(fs::path(results[1].target).filename(), "dbo.a_b_630.sql");
  EXPECT_TRUE(fs::exists(results[1].target));

  // A table with rows in the catalog but no data page list fails, and its
  // file does not appear.
  db.catalog.tables.at(kSoundTableId).fullName = "dbo.lost";
  db.dataPageLists.erase(kSoundTableId);
  db.catalog.tables.at(kSoundTableId).columns.begin()->second.xoffset = 4;
  TableDataResult lost = ExportTableData(db, VersionSetting::kSql2000, 999, DataFormat::kCsv,
                                         out + "/none.csv");
  EXPECT_FALSE(lost.ok);
  EXPECT_FALSE(fs::exists(out + "/none.csv"));
  TableDataResult missing_folder = ExportTableData(db, VersionSetting::kSql2000, kSoundTableId,
                                                   DataFormat::kCsv, out + "/no/such/x.csv");
  EXPECT_FALSE(missing_folder.ok);
  EXPECT_FALSE(missing_folder.error.empty());
}

}  // namespace
}  // namespace tollamer
