// Import into PostgreSQL: COPY text values, and a throwaway server cluster
// on a local socket (initdb and pg_ctl into a temporary folder) taking a
// fixture table, awkward values in binary COPY and every real data file,
// queried back through libpq.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <limits>

#include "engine/catalog/open/open_catalog.h"
#include "engine/values/value_format.h"
#include "output/db_import.h"
#include "output/postgres_target.h"
#include "output/type_mapping.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/output/every_type_import.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;
using namespace fixtures;
using namespace fixtures::user_rows;

TEST(PostgresCopy, TextFormatEscapes) {
  const struct {
    decltype(ColumnInfo::xtype) xtype;
    TypedValue value;
    const char* copy;
  } cases[] = {
      {value_type::kVarChar, TypedValue::Text(std::string("a\tb\\c\nd\re\0f", 12)),
       "a\\tb\\\\c\\nd\\ref"},
      {value_type::kVarChar, TypedValue::Null(), "\\N"},
      {value_type::kBit, TypedValue::Integer(1), "t"},
      {value_type::kVarBinary, TypedValue::Bytes({0x00, 0x5C}), "\\\\x005C"}};
  for (const auto& c : cases) {
    const ColumnInfo column{.xtype = c.xtype};
    std::string out;
    AppendCopyValue(out, column, c.value);
    EXPECT_EQ(out, c.copy);
  }
}

// The server's binaries, or empty when the package is not installed.
std::string PostgresBin() {
  for (int v = 20; v >= 10; --v) {
    std::string dir = "/usr/lib/postgresql/" + std::to_string(v) + "/bin";
    if (fs::exists(dir + "/initdb") && fs::exists(dir + "/pg_ctl")) return dir;
  }
  return {};
}

// A server cluster for the tests of this suite; stopped and removed at the end.
class PostgresCluster {
 public:
  PostgresCluster() {
    bin_ = PostgresBin();
    if (bin_.empty()) {
      why_ = "the PostgreSQL server binaries (/usr/lib/postgresql/*/bin) are absent";
      return;
    }
    char pattern[] = "/tmp/tollamer-pg-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    // The server refuses to run as root: run it as the postgres user.
    as_ = geteuid() == 0 ? "runuser -u postgres -- " : "";
    if (geteuid() == 0 && std::system(("chown postgres " + dir_).c_str()) != 0) {
      why_ = "cannot hand the cluster folder to the postgres user";
      return;
    }
    const std::string data = dir_ + "/data";
    if (Run(bin_ + "/initdb -D " + data + " -A trust -U postgres -E UTF8 --no-locale") != 0) {
      why_ = "initdb failed";
      return;
    }
    if (Run(bin_ + "/pg_ctl -D " + data + " -l " + dir_ + "/log -w -o \"-k " + dir_ +
            " -c listen_addresses=''\" start") != 0) {
      why_ = "pg_ctl start failed";
      return;
    }
    started_ = true;
    conninfo_ = "host=" + dir_ + " user=postgres dbname=postgres";
  }
  ~PostgresCluster() {
    if (started_) Run(bin_ + "/pg_ctl -D " + dir_ + "/data -m fast -w stop");
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  bool started() const { return started_; }
  const std::string& why() const { return why_; }
  const std::string& conninfo() const { return conninfo_; }

 private:
  int Run(const std::string& command) {
    return std::system((as_ + command + " >" + dir_ + "/cmd.log 2>&1").c_str());
  }
  std::string bin_, dir_, as_, why_, conninfo_;
  bool started_ = false;
};

class PostgresImportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cluster_ = new PostgresCluster(); }
  static void TearDownTestSuite() {
    delete cluster_;
    cluster_ = nullptr;
  }
  void SetUp() override {
    if (!cluster_->started()) GTEST_SKIP() << "no PostgreSQL cluster: " << cluster_->why();
    conn_ = PQconnectdb(cluster_->conninfo().c_str());
    ASSERT_EQ(PQstatus(conn_), CONNECTION_OK) << PQerrorMessage(conn_);
  }
  void TearDown() override {
    if (conn_) PQfinish(conn_);
  }
  // The first row of `sql` as texts ("NULL" for NULL).
  std::vector<std::string> Row(const std::string& sql) {
    PGresult* r = PQexec(conn_, sql.c_str());
    std::vector<std::string> out;
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
      ADD_FAILURE() << sql << ": " << PQresultErrorMessage(r);
    } else if (PQntuples(r) > 0) {
      for (int i = 0; i < PQnfields(r); ++i)
        out.push_back(PQgetisnull(r, 0, i) ? "NULL" : PQgetvalue(r, 0, i));
    }
    PQclear(r);
    return out;
  }
  std::vector<TableDataResult> Import(CMdfDatabase& db, VersionSetting version) {
    std::string error;
    std::unique_ptr<ImportTarget> target = OpenImportTarget(cluster_->conninfo(), error);
    EXPECT_TRUE(target) << error;
    if (!target) return {};
    return ImportTables(db, version, {}, *target);
  }

  static PostgresCluster* cluster_;
  PGconn* conn_ = nullptr;
};

PostgresCluster* PostgresImportTest::cluster_ = nullptr;

TEST_F(PostgresImportTest, EveryTypeWithItsMappedType) {
  testing::TempDir dir;
  testing::EveryTypeSource source(dir);
  ASSERT_TRUE(source.opened);
  CMdfDatabase& db = source.db;
  for (int round = 0; round < 2; ++round) {  // a second import replaces the table
    std::vector<TableDataResult> r = Import(db, VersionSetting::kSql2005);
    ASSERT_EQ(r.size(), 1u);
    ASSERT_TRUE(r[0].ok) << r[0].error;
  }
  EXPECT_EQ(Row("SELECT count(*) FROM dbo.everytype")[0], "2");
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget(cluster_->conninfo(), error);
  EXPECT_EQ(target->ExistingTable("dbo.everytype", false), "dbo.everytype");
  EXPECT_EQ(target->ExistingTable("dbo.every", true), "dbo.everytype");
  EXPECT_FALSE(target->ExistingTable("dbo.every", false) || target->ExistingTable("dbo.EVERYTYPE", false));
  const std::string first = " FROM dbo.everytype WHERE whole IS NOT NULL";
  EXPECT_EQ(Row("SELECT tiny, whole, big, flag, cash, dec, num, flt4, dt, sdt, guid, bin, "
                "chr, nvchr, txt, ntxt, img, d, t, dt2, dto AT TIME ZONE 'UTC', big_text" + first),
            (std::vector<std::string>{
                "200", "123456", "5000000000", "t", "12.3456", "123.45", "-1234.567", "1.5",
                "1901-01-02 00:00:00", "1999-12-31 01:30:00",
                "00112233-4455-6677-8899-aabbccddeeff", "\\xdeadbeef", "abcdefghij", "Grüße",
                "long text value", "wide text", "\\x89504e47", "2008-05-17", "13:14:15.123457",
                "2008-05-17 13:14:15.123457", "2008-05-17 11:14:15.123457", "off-row text"}));
  EXPECT_EQ(Row("SELECT pg_typeof(cash)::text, pg_typeof(dt)::text, pg_typeof(guid)::text, "
                "pg_typeof(img)::text, pg_typeof(flt8)::text" + first),
            (std::vector<std::string>{"numeric", "timestamp without time zone", "uuid", "bytea",
                                      "double precision"}));
  EXPECT_EQ(Row("SELECT count(*) FROM dbo.everytype WHERE whole IS NULL AND txt IS NULL AND "
                "dt IS NULL AND img IS NULL")[0],
            "1");
}

// Values sent in binary COPY are what the server makes of the text a text
// COPY sends for them, rounding included, column by column: the stored
// value's text against the server's cast of the COPY text. A NULL in a NOT
// NULL column, past the first rows, drops the constraint and keeps the row;
// a value with no binary form (a real in a text column) goes as text.
TEST_F(PostgresImportTest, BinaryValuesAreWhatTheServerMakesOfTheirText) {
  auto dt = [](int y, int mo, int d, int h, int mi, int sec, uint32_t f, uint8_t digits,
               bool date = true, bool time = true) {
    TypedDateTime t{.hasDate = date, .hasTime = time, .year = y, .month = mo, .day = d,
                    .hour = h, .minute = mi, .second = sec, .fraction = f, .fractionDigits = digits};
    return TypedValue::DateTime(t);
  };
  auto offset = [&](int16_t minutes) {
    TypedValue v = dt(2008, 5, 17, 0, 14, 15, 1234567, 7);
    v.time.hasOffset = true;
    v.time.offsetMinutes = minutes;
    return v;
  };
  auto real = [](double d, bool single) {
    TypedValue v = TypedValue::Float(d);
    v.singlePrecision = single;
    return v;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<uint8_t> guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                     0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  ColumnInfo dec{.name = "dec", .xtype = value_type::kDecimal, .xprec = 38, .xscale = 10};
  TableInfo table{.id = 9, .fullName = "dbo.awkward"};
  const std::vector<ColumnInfo> columns = {
      {.name = "n", .xtype = value_type::kInt},
      {.name = "tiny", .nullText = " NOT NULL", .xtype = value_type::kTinyInt},
      {.name = "small", .xtype = value_type::kSmallInt},
      {.name = "big", .xtype = value_type::kBigInt},
      {.name = "flag", .xtype = value_type::kBit},
      dec,
      {.name = "cash", .xtype = value_type::kMoney},
      {.name = "flt", .xtype = value_type::kFloat},
      {.name = "dt2", .xtype = value_type::kDateTime2},
      {.name = "dto", .xtype = value_type::kDateTimeOffset},
      {.name = "d", .xtype = value_type::kDate},
      {.name = "t", .xtype = value_type::kTime},
      {.name = "g", .xtype = value_type::kUniqueIdentifier},
      {.name = "bin", .xtype = value_type::kVarBinary},
      {.name = "txt", .xtype = value_type::kNVarChar},
      {.name = "variant", .xtype = value_type::kSqlVariant}};
  for (size_t i = 0; i < columns.size(); ++i) table.columns[static_cast<int>(i + 1)] = columns[i];
  table.constraints.indexes.push_back({IndexInfo::Kind::kPrimaryKey, "pk", true, true, {{1, false}}, {}});
  using V = TypedValue;
  std::vector<std::vector<TypedValue>> rows = {
      {V::Integer(0), V::Integer(255), V::Integer(-32768), V::Integer(INT64_MIN), V::Integer(1),
       V::Decimal("-0.0000000001"), V::Money(INT64_MIN), real(0.1f, true),
       dt(2024, 2, 29, 13, 14, 15, 1234565, 7), offset(-14 * 60), dt(1, 1, 1, 0, 0, 0, 0, 0, true, false),
       dt(0, 0, 0, 23, 59, 59, 9999995, 7, false, true), V::Guid(guid), V::Bytes({0, 0x5c, 0xff}),
       V::Text(std::string("a\0b\xc3\xa9", 5)), V::Text("plain")},
      {V::Integer(1), V::Null(), V::Null(), V::Null(), V::Integer(0), V::Decimal("1234567890123456789012345678.0123456789"),
       V::Money(199900), real(-inf, false), dt(9999, 12, 31, 23, 59, 59, 9999999, 7), offset(345),
       dt(2000, 1, 1, 0, 0, 0, 0, 0, true, false), dt(0, 0, 0, 0, 0, 0, 5, 7, false, true), V::Null(),
       V::Bytes({}), V::Text(""), real(inf, false)},
      {V::Integer(2), V::Integer(0), V::Integer(32767), V::Integer(INT64_MAX), V::Null(), V::Decimal("0"),
       V::Money(-1), real(std::nan(""), false), dt(1753, 1, 1, 0, 0, 0, 3, 3), offset(0),
       dt(1999, 12, 31, 0, 0, 0, 0, 0, true, false), dt(0, 0, 0, 12, 0, 0, 15, 2, false, true), V::Null(),
       V::Null(), V::Text("x"), V::Integer(7)}};
  for (int i = 3; i < 300; ++i) rows.push_back({V::Integer(i), V::Integer(i % 200)});

  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget(cluster_->conninfo(), error);
  ASSERT_TRUE(target) << error;
  std::string name;
  ASSERT_TRUE(target->BeginTable(table, name)) << target->Error();
  std::string first, rest;  // the NULL in the NOT NULL column comes in the second batch
  for (size_t r = 0; r < rows.size(); ++r) target->PrepareRow(rows[r], r == 0 || r > 2 ? first : rest);
  ASSERT_TRUE(target->AddPreparedRows(first, rows.size() - 2)) << target->Error();
  ASSERT_TRUE(target->AddPreparedRows(rest, 2)) << target->Error();
  ASSERT_TRUE(target->EndTable()) << target->Error();
  target.reset();  // its keys built

  EXPECT_EQ(Row("SELECT count(*), bool_or(attnotnull) FROM dbo.awkward, pg_attribute WHERE "
                "attrelid = 'dbo.awkward'::regclass AND attname = 'tiny'"),
            (std::vector<std::string>{"300", "f"}));
  EXPECT_EQ(Row("SELECT count(*) FROM pg_constraint WHERE contype = 'p' AND "
                "conrelid = 'dbo.awkward'::regclass")[0],
            "1");
  for (size_t r = 0; r < 3; ++r) {
    for (size_t c = 1; c < columns.size(); ++c) {
      SCOPED_TRACE(columns[c].name + " of row " + std::to_string(r));
      std::string copy;
      AppendCopyValue(copy, columns[c], rows[r][c]);
      std::string literal;  // the COPY text unescaped: only \\ occurs in these
      for (size_t i = 0; i < copy.size(); ++i) literal += copy[i] == '\\' && i + 1 < copy.size() && copy[i + 1] == '\\' ? copy[++i] : copy[i];
      const std::string stored =
          Row("SELECT " + QuotedIdentifier(columns[c].name) + "::text FROM dbo.awkward WHERE n = " +
              std::to_string(r))[0];
      if (rows[r][c].IsNull()) {
        EXPECT_EQ(stored, "NULL");
        continue;
      }
      const char* values[] = {literal.c_str()};
      PGresult* cast = PQexecParams(conn_, ("SELECT $1::" + PostgresColumnType(columns[c]) + "::text").c_str(),
                                    1, nullptr, values, nullptr, nullptr, 0);
      ASSERT_EQ(PQresultStatus(cast), PGRES_TUPLES_OK) << literal << ": " << PQresultErrorMessage(cast);
      EXPECT_EQ(stored, PQgetvalue(cast, 0, 0)) << literal;
      PQclear(cast);
    }
  }
}

// A session lost while its table loads in the background fails that
// table alone, with the reason, neither its rows nor the table kept; the
// next table loads through it again.
TEST_F(PostgresImportTest, ALostSessionFailsItsTableAlone) {
  TableInfo lost{.id = 1, .fullName = "dbo.lost"}, next{.id = 2, .fullName = "dbo.next"};
  lost.columns[1] = next.columns[1] = {.name = "n", .xtype = value_type::kInt};
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget(cluster_->conninfo(), error, 1);
  ASSERT_TRUE(target) << error;
  std::string name;
  ASSERT_TRUE(target->BeginTable(lost, name)) << target->Error();
  ASSERT_TRUE(target->AddRow({TypedValue::Integer(1)}));
  Row("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE query LIKE "
      "'%COPY \"dbo\".\"lost\"%' AND pid <> pg_backend_pid()");
  bool loading = false;
  ASSERT_TRUE(target->EndTableQueued(loading) && loading);
  EXPECT_EQ(target->NextOutcome(true, error), false);
  EXPECT_NE(error, "");
  EXPECT_EQ(target->NextOutcome(true, error), std::nullopt);
  ASSERT_TRUE(target->BeginTable(next, name)) << target->Error();
  ASSERT_TRUE(target->AddRow({TypedValue::Integer(2)}));
  ASSERT_TRUE(target->EndTable()) << target->Error();
  EXPECT_EQ(Row("SELECT (to_regclass('dbo.lost') IS NULL)::text, (SELECT n FROM dbo.next)::text"),
            (std::vector<std::string>{"true", "2"}));
}

TEST_F(PostgresImportTest, EveryRealDataFile) {
  TOLLAMER_REQUIRE_REAL_FILE(pubs2000, "pubs-sql2000.mdf");
  for (const char* name :
       {"pubs-sql2000.mdf", "pubs-sql2005.mdf", "pubs-sql2008.mdf", "qlsinhvien-sql2008.mdf"}) {
    std::optional<std::string> path = testing::RealDataFile(name);
    if (!path) continue;
    SCOPED_TRACE(name);
    RecordingMessages messages;
    CMdfDatabase db(messages);
    ASSERT_TRUE(db.OpenFile(*path));
    const VersionSetting version = DetectServerVersion(db.Store()).setting;
    ASSERT_TRUE(OpenCatalog(db, version).built);
    std::vector<TableDataResult> results = Import(db, version);
    ASSERT_EQ(results.size(), db.catalog.tables.size());
    for (const TableDataResult& r : results) {
      ASSERT_TRUE(r.ok) << r.tableName << ": " << r.error;
      auto [owner, table] = OwnerAndName(r.tableName);
      EXPECT_EQ(Row("SELECT count(*) FROM " + QuotedIdentifier(owner) + "." +
                    QuotedIdentifier(table))[0],
                std::to_string(db.catalog.tables.at(r.tableId).rowCount.value_or(0)))
          << r.tableName;
    }
    if (std::string(name).starts_with("pubs")) {
      EXPECT_EQ(Row("SELECT octet_length(logo), length(pr_info) FROM dbo.pub_info WHERE "
                    "pub_id = '0736'"),
                (std::vector<std::string>{"643", "65071"}));
      EXPECT_EQ(Row("SELECT price, pg_typeof(price)::text, pubdate FROM dbo.titles WHERE "
                    "title_id = 'BU1032'"),
                (std::vector<std::string>{"19.9900", "numeric", "1991-06-12 00:00:00"}));
      // The file's primary keys and NOT NULL columns come with the rows.
      EXPECT_EQ(Row("SELECT string_agg(a.attname, ',' ORDER BY k.n) FROM pg_constraint c, "
                    "unnest(c.conkey) WITH ORDINALITY k(att, n), pg_attribute a WHERE "
                    "c.contype = 'p' AND c.conrelid = 'dbo.sales'::regclass AND "
                    "a.attrelid = c.conrelid AND a.attnum = k.att"),
                (std::vector<std::string>{"stor_id,ord_num,title_id"}));
      EXPECT_EQ(Row("SELECT count(*) FROM pg_constraint WHERE contype = 'p' AND "
                    "conrelid = 'dbo.jobs'::regclass")[0],
                "1");
      EXPECT_EQ(Row("SELECT string_agg(attname || '=' || attnotnull::text, ',' ORDER BY attname) "
                    "FROM pg_attribute WHERE attrelid = 'dbo.titles'::regclass AND "
                    "attname IN ('title', 'price')"),
                (std::vector<std::string>{"price=false,title=true"}));
    }
  }
}

}  // namespace
}  // namespace tollamer
