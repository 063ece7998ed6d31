// Typed values under the grid texts: every type of both versions decoded
// whole, the values the grid cuts or hides (long text, 1900 dates, pad
// blanks), and the exact forms of numbers and dates.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>

#include "engine/catalog/open/open_catalog.h"
#include "engine/rows/table_rows.h"
#include "engine/rows/typed_decode.h"
#include "engine/rows/typed_rows.h"
#include "engine/values/number_text.h"
#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/data_export.h"
#include "output/sql_insert.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
using Texts = std::vector<std::string>;

class TypedRowsTest : public ::testing::Test {
 protected:
  std::vector<std::vector<TypedValue>> Rows(const FileBuilder& file, VersionSetting version,
                                            uint32_t table) {
    db_ = std::make_unique<CMdfDatabase>(messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("t.mdf", file.Image())));
    EXPECT_TRUE(OpenCatalog(*db_, version).built);
    version_ = version;
    std::vector<std::vector<TypedValue>> rows;
    ForEachTypedRow(*db_, version, table, [&](const std::vector<TypedValue>& r) {
      rows.push_back(r);
      return true;
    }, stats_);
    return rows;
  }
  static Texts TextsOf(const std::vector<TypedValue>& row) {
    Texts out;
    for (const TypedValue& v : row) out.push_back(ExportText(v));
    return out;
  }

  testing::TempDir dir_;
  RecordingMessages messages_;
  std::unique_ptr<CMdfDatabase> db_;
  VersionSetting version_ = VersionSetting::kNone;
  TypedTableStats stats_;
};

const Texts kShared = {"00112233-4455-6677-8899-AABBCCDDEEFF", "200", "-5", "123456",
                       "1999-12-31 01:30:00", "1.5", "12.3456", "1901-01-02 00:00:00.000",
                       "2.25", "1", "123.45", "-1234.567", "2.5000", "5000000000", "0xDEADBEEF",
                       "abcdefghij", "0x80818283848586FF", "hello", "ok text", "Grüße", "0x0102",
                       "long text value", "wide text", "0x89504E47", ""};

// The grid shows the same values but real and float with six decimals, and
// sql_variant as NULL; its rows of NULLs are "NULL".
TEST_F(TypedRowsTest, EveryTypeOfBothVersionsTypedAndInTheGrid) {
  EveryTypeDatabase2000 d2000 = BuildEveryTypeDatabase2000();
  auto rows = Rows(d2000.file, VersionSetting::kSql2000, d2000.tableId);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(TextsOf(rows[0]), kShared);
  for (const TypedValue& v : rows[1]) EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(rows[0][1].kind, TypedKind::kInteger);
  EXPECT_EQ(rows[0][6].kind, TypedKind::kMoney);
  EXPECT_EQ(rows[0][7].kind, TypedKind::kDateTime);
  EXPECT_EQ(rows[0][14].kind, TypedKind::kBytes);
  Texts grid_shared = kShared;
  grid_shared[5] = "1.500000";
  grid_shared[8] = "2.250000";
  grid_shared.back() = "NULL";
  TableGridPage grid = ShowTableData(*db_, version_, d2000.tableId, 1);
  ASSERT_EQ(grid.rows.size(), 2u);
  EXPECT_EQ(grid.rows[0], grid_shared);
  EXPECT_EQ(grid.rows[1], Texts(kShared.size(), "NULL"));

  for (FormatVersion v : {FormatVersion::kSql2005, FormatVersion::kSql2008}) {
    EveryTypeDatabase2005 d = BuildEveryTypeDatabase2005(v);
    rows = Rows(d.built.file, VersionSetting::kSql2005, d.tableId);
    ASSERT_EQ(rows.size(), 2u);
    Texts expected = kShared;
    expected.insert(expected.end(),
                    {"2008-05-17", "13:14:15.1234567", "2008-05-17 13:14:15.1234567",
                     "2008-05-17 13:14:15.1234567+02:00", "<a k=\"v\">x&lt;y</a>", "off-row text"});
    EXPECT_EQ(TextsOf(rows[0]), expected);
    for (const TypedValue& value : rows[1]) EXPECT_TRUE(value.IsNull());
    Texts shown = grid_shared;
    shown.insert(shown.end(), {"2008-05-17", " 13:14:15.1234567", "2008-05-17 13:14:15.1234567",
                               "2008-05-17 13:14:15.1234567 +02:00", expected[29], expected[30]});
    grid = ShowTableData(*db_, version_, d.tableId, 1);
    ASSERT_EQ(grid.rows.size(), 2u);
    EXPECT_EQ(grid.rows[0], shown);
    EXPECT_EQ(grid.rows[1], Texts(shown.size(), "NULL"));
    // The reader numbered the variable columns itself and kept the numbers.
    const TableInfo& t = db_->catalog.tables.at(d.tableId);
    EXPECT_EQ(t.columns.at(19).xoffset, -1);  // vchr
    EXPECT_EQ(t.columns.at(31).xoffset, -9);  // big_text
  }
}

// A table's plan writes every row of the every-type and code-page tables
// (no row falls back to the typed path, whose formatter here writes "?")
// byte for byte as the typed values are written, in CSV and in SQL.
TEST_F(TypedRowsTest, ThePlanWritesEveryTypeAsItsTypedValueIsWritten) {
  struct Case {
    FileBuilder file;
    VersionSetting version;
    uint32_t table;
  };
  std::vector<Case> cases;
  EveryTypeDatabase2000 d2000 = BuildEveryTypeDatabase2000();
  cases.push_back({d2000.file, VersionSetting::kSql2000, d2000.tableId});
  for (FormatVersion v : {FormatVersion::kSql2005, FormatVersion::kSql2008}) {
    EveryTypeDatabase2005 d = BuildEveryTypeDatabase2005(v);
    cases.push_back({d.built.file, VersionSetting::kSql2005, d.tableId});
  }
  for (FormatVersion v : {FormatVersion::kSql2000, FormatVersion::kSql2008}) {
    for (CodePageDatabase d : {BuildCodePageDatabase(v), BuildTextInRowDatabase(v)})
      cases.push_back({d.file, v == FormatVersion::kSql2000 ? VersionSetting::kSql2000
                                                            : VersionSetting::kSql2005,
                       d.tableId});
  }
  for (const Case& c : cases) {
    const auto rows = Rows(c.file, c.version, c.table);
    ASSERT_FALSE(rows.empty());
    const TableInfo& table = db_->catalog.tables.at(c.table);
    SqlInsertWriter sql(table.fullName, ColumnList(table));
    for (bool csv : {true, false}) {
      SCOPED_TRACE(table.fullName + (csv ? " csv" : " sql"));
      std::string typed;
      for (const auto& row : rows) {
        if (csv) AppendCsvRow(typed, row);
        else sql.AppendStatement(typed, row);
      }
      std::string planned;
      TypedTableStats stats;
      TypedBatchOptions options{1, 64, csv ? &CsvTextForm() : &sql.Form()};
      ASSERT_TRUE(ForEachTypedRowBatch(
          *db_, c.version, c.table, [](const auto&, std::string& out) { out += "?"; },
          [&](const TypedRowBatch& batch) {
            planned += batch.text;
            return true;
          },
          stats, {}, options));
      EXPECT_EQ(planned, typed);
      EXPECT_EQ(stats.rows, rows.size());
    }
  }
}

// 8-bit text is read in the code page of its column's collation, the same
// way for the grid and for export: Chinese_PRC (936) in varchar, char and
// text, a _UTF8 collation, an OEM (850) collation, and a column without a
// collation (the database default, 1252).
TEST_F(TypedRowsTest, TextIsReadInTheCodePageOfItsColumn) {
  const Texts exported = {"中文数据", "中文", "长文本", "Grüße 中", "München", "München"};
  for (FormatVersion v :
       {FormatVersion::kSql2000, FormatVersion::kSql2005, FormatVersion::kSql2008}) {
    SCOPED_TRACE(static_cast<int>(v));
    const VersionSetting setting =
        v == FormatVersion::kSql2000 ? VersionSetting::kSql2000 : VersionSetting::kSql2005;
    CodePageDatabase d = BuildCodePageDatabase(v);
    auto rows = Rows(d.file, setting, d.tableId);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(TextsOf(rows[0]), exported);
    TableGridPage grid = ShowTableData(*db_, version_, d.tableId, 1);
    ASSERT_EQ(grid.rows.size(), 1u);
    Texts shown = grid.rows[0];
    ASSERT_EQ(shown.size(), exported.size());
    // The grid keeps a char value's pad blanks in 2005 files.
    EXPECT_EQ(shown[1].substr(0, 6), "中文");
    shown[1] = exported[1];
    EXPECT_EQ(shown, exported);
  }
}

// 'text in row': values kept in the row itself, a root kept in the row,
// a 16-byte value that is no text pointer, beside a text pointer.
TEST_F(TypedRowsTest, TextInRowValuesComeBackWholeInBothVersionFamilies) {
  for (FormatVersion v : {FormatVersion::kSql2000, FormatVersion::kSql2008}) {
    SCOPED_TRACE(static_cast<int>(v));
    CodePageDatabase d = BuildTextInRowDatabase(v);
    auto rows = Rows(d.file, v == FormatVersion::kSql2000 ? VersionSetting::kSql2000
                                                          : VersionSetting::kSql2005, d.tableId);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(TextsOf(rows[0]), (Texts{"short note", "True", "0x010203"}));
    EXPECT_EQ(TextsOf(rows[1]), (Texts{"rooted in the row", "eightchr", "0x89504E47"}));
    TableGridPage grid = ShowTableData(*db_, version_, d.tableId, 1);
    ASSERT_EQ(grid.rows.size(), 2u);
    EXPECT_EQ(grid.rows[0][1], "True");
  }
}

// A text value of 3000 characters: the SQL 2000 grid shows 100 of them.
TEST_F(TypedRowsTest, ValuesTheGridCutsComeBackWhole) {
  sql2000::Table2000 t{700, "long", 1, {{"body", 35, 0, 16}}, 1};
  t.records.push_back(UserRecord(Columns(t.columns), {Var(TextPointerBytes(kLobPageBase, 0), true)}));
  FileBuilder file = sql2000::BuildDatabase2000({.tables = {t}});
  const std::string body(3000, 'q');
  AddTextPage(file, kLobPageBase, {LobSmallRoot(0x200, Text(body))}, FormatVersion::kSql2000);
  auto rows = Rows(file, VersionSetting::kSql2000, 700);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].text, body);
  EXPECT_EQ(ShowTableData(*db_, version_, 700, 1).rows, (std::vector<Texts>{{std::string(100, 'q')}}));
}

// A system table's page named in a user table's list (a single-page slot
// of its IAM page changed) gives its records as suspect rows of another
// table's page, never as the table's rows.
TEST_F(TypedRowsTest, ASystemTablePageInAUserTablesListGivesOnlySuspectRows) {
  sql2000::Table2000 t{720, "one", 1, {{"n", 56, 0, 4, 10, 0, true}}, 1};
  t.records.push_back(UserRecord(Columns(t.columns), {Fixed(Int32(7))}));
  sql2000::Layout2000 layout;
  FileBuilder file = sql2000::BuildDatabase2000({.tables = {t}}, &layout);
  Rows(file, VersionSetting::kSql2000, 720);
  db_->dataPageLists.at(720).push_back(layout.dataPages.at(1).front());  // sysobjects
  stats_ = {};
  size_t rows = 0;
  ForEachTypedRow(*db_, version_, 720, [&](const std::vector<TypedValue>&) { return ++rows; }, stats_);
  EXPECT_EQ(rows, 1u);
  ASSERT_FALSE(stats_.suspectRows.empty());
  for (const SuspectRow& r : stats_.suspectRows) EXPECT_STREQ(r.reason, "page belongs to another table");
}

TEST_F(TypedRowsTest, APageThePfsMarksFreeIsLeftOut) {
  sql2000::Table2000 t{720, "freed", 1, {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 3000}}, 4};
  for (int32_t i = 0; i < 4; ++i)
    t.records.push_back(UserRecord(Columns(t.columns), {Fixed(Int32(i)), Var(Bytes(3000, 'z'))}));
  sql2000::Layout2000 layout;
  FileBuilder file = sql2000::BuildDatabase2000({.tables = {t}}, &layout);
  const uint32_t freed = layout.dataPages.at(720).at(1);
  // The PFS byte of the page: from offset 100 of page 1, one per page.
  file.MutablePage(1)[100 + freed] = 0x00;
  auto rows = Rows(file, VersionSetting::kSql2000, 720);
  // Two rows a page: the rows of the freed second page are gone.
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0].integer, 1);
  EXPECT_EQ(stats_.pagesUnallocated, 1u);
  // So does the same PFS page under a checksum that agrees; one that fails
  // (a byte changed after it was made) is not trusted and hides nothing.
  ApplyChecksum(file.MutablePage(1));
  EXPECT_EQ(Rows(file, VersionSetting::kSql2000, 720).size(), 2u);
  file.MutablePage(1)[8000] ^= 0x40;
  EXPECT_EQ(Rows(file, VersionSetting::kSql2000, 720).size(), 4u);

  // A PFS page that does not look like one hides nothing.
  file.MutablePage(1) = Bytes(8192, 0);
  EXPECT_EQ(Rows(file, VersionSetting::kSql2000, 720).size(), 4u);
}

ColumnInfo ColumnOf(uint8_t xtype, uint16_t length, uint8_t prec = 0, uint8_t scale = 0) {
  return {.xtype = xtype, .xprec = prec, .xscale = scale, .length = length};
}

// Fixed values exported as the server keeps them: exact numbers, dates to
// their tick, texts with their blanks but without the padding.
TEST(TypedFixedValues, ExportTextsOfStoredValues) {
  namespace vt = value_type;
  // datetimeoffset(0) with a zone offset of -05:30 (signed minutes).
  Bytes dto = {0x00, 0x00, 0x00, 0x42, 0x24, 0x0B};
  AppendU16(dto, static_cast<uint16_t>(-330));
  // 10^38 - 1 is 0x4B3B4CA85A86C47A098A223FFFFFFFFF.
  const Bytes ten38m1 = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0x22, 0x8A, 0x09,
                         0x7A, 0xC4, 0x86, 0x5A, 0xA8, 0x4C, 0x3B, 0x4B};
  Bytes tenth(4);
  const float f = 0.1f;
  std::memcpy(tenth.data(), &f, 4);
  const ColumnInfo dt = ColumnOf(vt::kDateTime, 8);
  const struct {
    ColumnInfo column;
    Bytes stored;
    std::string exported;
    uint8_t bit = 0;
  } cases[] = {
      // 1/300-second ticks round to .000, .003, .007 as the server shows them.
      {dt, DateTime(0, 1), "1900-01-01 00:00:00.003"},
      {dt, DateTime(0, 2), "1900-01-01 00:00:00.007"},
      {dt, DateTime(0, 300 * 86399 + 299), "1900-01-01 23:59:59.997"},
      // Days before 1900 are negative: 1753-01-01 is the first datetime.
      {dt, DateTime(-53690, 0), "1753-01-01 00:00:00.000"},
      {dt, DateTime(2958463, 0), "9999-12-31 00:00:00.000"},
      // date: 3 bytes of days from 0001-01-01; 2000-02-29 is day 730178.
      {ColumnOf(vt::kDate, 3), {0x42, 0x24, 0x0B}, "2000-02-29"},
      {ColumnOf(vt::kDate, 3), {0, 0, 0}, "0001-01-01"},
      // time(0): 3 bytes of seconds; time(3): 4 bytes of milliseconds.
      {ColumnOf(vt::kTime, 3, 8, 0), {0x7F, 0x51, 0x01}, "23:59:59"},
      {ColumnOf(vt::kTime, 4, 12, 3), {0x05, 0x00, 0x00, 0x00}, "00:00:00.005"},
      {ColumnOf(vt::kDateTimeOffset, 8, 26, 0), dto, "2000-02-29 00:00:00-05:30"},
      // decimal(38,4): 17 bytes, a magnitude beyond 64 bits, no rounding.
      {ColumnOf(vt::kDecimal, 17, 38, 4), ten38m1, "9999999999999999999999999999999999.9999"},
      // Sign byte 0 is negative; a scale wider than the digits pads with zeros.
      {ColumnOf(vt::kNumeric, 5, 5, 4), Decimal(false, 5, 5), "-0.0005"},
      {ColumnOf(vt::kDecimal, 5, 2, 2), Decimal(true, 45, 2), "0.45"},
      {ColumnOf(vt::kDecimal, 5, 5, 0), Decimal(false, 0, 5), "0"},
      // money: the full 64-bit range, exactly.
      {ColumnOf(vt::kMoney, 8), Int64(INT64_MIN), "-922337203685477.5808"},
      {ColumnOf(vt::kMoney, 8), Int64(INT64_MAX), "922337203685477.5807"},
      {ColumnOf(vt::kSmallMoney, 4), Int32(-1), "-0.0001"},
      // real keeps its own shortest form, not its double expansion.
      {ColumnOf(vt::kReal, 4), tenth, "0.1"},
      {ColumnOf(vt::kBit, 1), {0x04}, "1", 2},
      {ColumnOf(vt::kBit, 1), {0x04}, "0", 1},
      // Ten blanks inside a value cut the grid text; here the value stays.
      {ColumnOf(vt::kChar, 30), Char("a          b", 30), "a          b"},
      {ColumnOf(vt::kNChar, 20), NChar(" 你", 20), " 你"},
      // 8-bit bytes that are not UTF-8 are read as Latin-1.
      {ColumnOf(vt::kChar, 3), {'c', 0xE9, ' '}, "c\xC3\xA9"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExportText(DecodeFixedTyped(c.column, c.stored, 0, c.bit)), c.exported)
        << "type " << int{c.column.xtype};
  // Digits counted before they are written: each side of every power of ten.
  for (uint64_t power = 1, k = 0; k < 20; ++k, power *= 10) {
    for (const uint64_t n : {power - 1, power, k == 19 ? UINT64_MAX : power * 10 - 1}) {
      char got[20], want[20];
      EXPECT_EQ(std::string(got, PutUnsignedText(got, n)),
                std::string(want, std::to_chars(want, want + 20, n).ptr));
    }
  }
  // Doubles of a few decimals written without the general search, the
  // same text as the search gives: every scale, both signs, around the
  // limits of the short way (1e-3, 1e15, 2^50 scaled), and any bits.
  std::mt19937_64 random(42);
  std::vector<double> doubles = {0.001, 0.0001, 1e15, 999999999999999.9, 100000, 123456,
                                 1125899906842623.0, 0.1 + 0.2, 5e-324, -0.0};
  for (int i = 0; i < 200000; ++i) {
    const uint64_t bits = random();
    const int k = static_cast<int>(bits % 18);
    const double m = static_cast<double>((bits >> 8) % (uint64_t{1} << (1 + bits % 50)));
    doubles.push_back((bits & 128 ? -m : m) / std::pow(10.0, k));
    double any;
    std::memcpy(&any, &bits, sizeof any);
    if (std::isfinite(any)) doubles.push_back(any);
  }
  for (const double d : doubles) {
    char got[32], want[32];
    ASSERT_EQ(std::string(got, PutShortestDouble(got, d)),
              std::string(want, std::to_chars(want, want + 32, d).ptr));
  }
  // A value past the record's end is NULL, not a partial read.
  EXPECT_TRUE(DecodeFixedTyped(ColumnOf(vt::kBigInt, 8), Bytes(6, 1), 0, 0).IsNull());
}

}  // namespace
}  // namespace tollamer
