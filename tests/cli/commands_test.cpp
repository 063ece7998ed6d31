// info, catalog, rows, scan-tables and the tool commands (detect, bak2mdf,
// excavate) of tollamer-cli, run as a user would.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/version.h"
#include "tests/fixtures/multi_file_database.h"
#include "tests/fixtures/sample_database.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using fixtures::FormatVersion;
using testing::Cli;
using CliResult = testing::CommandResult;

TEST(InfoCommandTest, JsonDescribesADataFileABackupAndAnUnreadableBootPage) {
  testing::TempDir dir;
  CliResult r = Cli("info --json " + dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image()));
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("\"kind\": \"data\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"base_offset\": 0,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"pages\": 64,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"version\": {\"setting\": 1, \"dbi_version\": 655, \"name\": \"SQL Server 2008\"}"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"13\": 1"), std::string::npos) << "one boot page: " << r.out;

  // A backup, and a file whose boot page is unreadable.
  fixtures::FileBuilder f = fixtures::BuildSampleDatabase({fixtures::FormatVersion::kSql2000, 32});
  CliResult backup = Cli("info --json " + dir.Write("b.bak", f.BackupImage(0x1A00)));
  ASSERT_EQ(backup.exitCode, 0);
  EXPECT_NE(backup.out.find("\"kind\": \"backup\""), std::string::npos) << backup.out;
  EXPECT_NE(backup.out.find("\"dbi_version\": 539"), std::string::npos) << backup.out;
  f.SetPage(9, fixtures::Bytes(8192, 0));
  CliResult no_boot = Cli("info --json " + dir.Write("nb.mdf", f.Image()));
  ASSERT_EQ(no_boot.exitCode, 0);
  EXPECT_NE(no_boot.out.find("\"setting\": 0, \"dbi_version\": null"), std::string::npos)
      << no_boot.out;
}

TEST(InfoCommandTest, ExitCodesForUnreadableFilesAndBadUsage) {
  testing::TempDir dir;
  fixtures::Bytes tape(100, 0);
  std::copy_n("TAPE", 4, tape.begin());
  const std::string bad = dir.Write("t.bak", tape);
  const std::string mdf = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
  const struct {
    std::string args;
    int exitCode;
  } cases[] = {
      {"info " + bad, 1},
      {"", 2},
      {"info", 2},
      {"frobnicate x", 2},
      {"info --bogus x", 2},
      // One spelling of the server version on every command, the older
      // --version still taken after a command; any later release reads as 2005.
      {"catalog " + mdf + " --server-version 2022", 0},
      {"catalog " + mdf + " --version 2005", 0},
      {"catalog -q " + mdf + " --server-version 1999", 2},
      {"open " + mdf + " --server-version 7", 2},
      {"export-schema " + mdf, 2},  // --out is required
      {"export-schema " + mdf + " --out " + dir.path().string() + " --kind nope", 2},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --encoding latin1", 2},
      {"rows " + mdf + " nosuchtable", 4},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object nosuch", 4},
      // An object by its name with or without its owner, whatever its kind.
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object titles", 0},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object '[dbo].[byroyalty]'", 0},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object dbo.id", 0},
      {"export-data " + mdf + " --table nosuch --out -", 4},
      // Tables by name in any case, several at once, or by schema.
      {"rows " + mdf + " --table TITLES --table '[dbo].[Authors]' --table sales", 0},
      {"export-data " + mdf + " --schema DBO --out " + dir.File("csv"), 3},  // short tables
      {"export-data " + mdf + " --table titles --table authors --out -", 2},
      {"rows " + mdf + " --table titles --schema sales", 4},
  };
  for (const auto& c : cases) EXPECT_EQ(Cli(c.args).exitCode, c.exitCode) << c.args;

  // The program's own version, from the build.
  CliResult version = Cli("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("tollamer-cli ") + platform::kProgramVersion + "\n");
  EXPECT_NE(Cli("--help").out.find(std::string("written by ") + platform::kVersionsRead + "\n"),
            std::string::npos) << "the versions read, said as the README and the desktop say them";
  // With --json an error is a JSON object, and stdout stays empty.
  CliResult json = testing::RunCommand(
      std::string("{ ") + TOLLAMER_CLI_PATH + " info --json " + bad + " 2>&1 >/dev/null; }", false);
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(json.out.rfind("{\"error\":{\"exit_code\":1,\"messages\":[\"", 0), 0u) << json.out;
  EXPECT_EQ(Cli("info --json " + bad).out, "");
}

TEST(CatalogCommandTest, ListsTablesWithTheirColumnsThenTheOtherObjectsByOwnerAndAsJson) {
  testing::TempDir dir;
  fixtures::sql2000::Database2000 desc = fixtures::sql2000::SampleDatabase2000();
  desc.tables.push_back({100, "empty", 1, {{"a"}}, 0, 1, false, {}});
  std::string path = dir.Write("s.mdf", fixtures::sql2000::BuildDatabase2000(desc).Image());
  CliResult r = Cli("catalog " + path + " --server-version 2000", true);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("5 tables\ndbo.empty: 0 rows\n  a  int NULL\ndbo.discounts: 3 rows\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("dbo.Order Details: 1 row\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  discount      decimal(4,2) NOT NULL\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 view\n  dbo.titleview\n2 procedures\n  dbo.byroyalty\n  dbo.reptq1\n"
                       "1 function\n  dbo.fn_discount\n3 user types\n  dbo.id: varchar(11) NOT NULL\n"),
            std::string::npos) << r.out;
  // With --json: numbers, booleans and texts where each is meant.
  CliResult json = Cli("catalog --json --server-version 2000 " + path, true);
  ASSERT_EQ(json.exitCode, 0) << json.out;
  EXPECT_NE(json.out.find("{\"colid\":5,\"name\":\"discount\",\"type\":\"decimal\",\"xtype\":106,"
                          "\"length\":5,\"max\":false,\"precision\":4,\"scale\":2,\"nullable\":false}"),
            std::string::npos) << json.out;
  EXPECT_NE(json.out.find(",\"schema\":\"dbo\",\"name\":\"dbo.byroyalty\",\"text\":"), std::string::npos);
  EXPECT_NE(json.out.find("\"text\":\"\\nCREATE VIEW titleview\\r\\nAS\\r\\n"), std::string::npos);
  EXPECT_NE(json.out.find("-- 折扣"), std::string::npos) << "UTF-16 text as UTF-8";
  EXPECT_NE(json.out.find("\"types\":[{\"schema\":\"dbo\",\"name\":\"dbo.id\",\"base\":\"varchar(11)\","
                          "\"nullable\":false}"),
            std::string::npos) << json.out;
}

TEST(CatalogCommandTest, FallbackIsReported) {
  testing::TempDir dir;
  fixtures::sql2000::Layout2000 layout;
  fixtures::FileBuilder f =
      fixtures::sql2000::BuildDatabase2000(fixtures::sql2000::SampleDatabase2000(), &layout);
  f.MutablePage(layout.iamPage.at(1))[page_layout::kType] = 1;  // sysobjects IAM damaged
  CliResult r = Cli("catalog --server-version 2000 " + dir.Write("d.mdf", f.Image()), true);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("whole-file scan"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("4 tables\n"), std::string::npos) << r.out;
}

// The values are the output layer's (its typed export tests); here the
// formats, the page and count wrappers, and rows and export-data agreeing.
TEST(RowsCommandTest, TitlesAndRowsAsTsvCsvAndJson) {
  testing::TempDir dir;
  std::string path = dir.Write("e.mdf", fixtures::user_rows::BuildEveryTypeDatabase2000().file.Image());
  CliResult tsv = Cli("rows " + path + " everytype --server-version 2000");
  ASSERT_EQ(tsv.exitCode, 0);
  EXPECT_EQ(tsv.out.rfind("guid\ttiny\tsmall\t", 0), 0u) << tsv.out;
  CliResult json = Cli("rows " + path + " dbo.everytype --server-version 2000 --all --json");
  ASSERT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.out.rfind("{\"table\":\"dbo.everytype\",\"titles\":[\"guid\",", 0), 0u) << json.out;
  EXPECT_NE(json.out.find("\"page\":null,\"page_count\":1,\"row_count\":2}"), std::string::npos)
      << json.out;
  CliResult records = Cli("rows " + path + " --table everytype --server-version 2000 --format json");
  ASSERT_EQ(records.exitCode, 0);
  EXPECT_EQ(records.out.rfind("[\n{\"guid\":\"00112233-4455-6677-8899-AABBCCDDEEFF\",\"tiny\":200,", 0),
            0u) << records.out;
  // The header and two rows, each ended by CR LF, and the same bytes from export-data.
  CliResult csv = Cli("rows " + path + " --table dbo.everytype --server-version 2000 --format csv", true);
  ASSERT_EQ(csv.exitCode, 0);
  EXPECT_NE(csv.out.find("grid page 1 of 1: 2 rows"), std::string::npos) << csv.out;
  csv = Cli("rows " + path + " --table dbo.everytype --server-version 2000 --all --format csv");
  EXPECT_EQ(csv.out.rfind("guid,tiny,small,", 0), 0u) << csv.out;
  size_t lines = 0;
  for (size_t at = csv.out.find("\r\n"); at != std::string::npos; at = csv.out.find("\r\n", at + 2))
    ++lines;
  EXPECT_EQ(lines, 3u);
  CliResult exported = Cli("export-data " + path + " --table everytype --out -");
  ASSERT_EQ(exported.exitCode, 0);
  EXPECT_EQ(exported.out, csv.out);
  for (const char* bad : {" everytype --server-version 2000 --page 0", " --server-version 2000",
                          " --table everytype --format json --json"})
    EXPECT_EQ(Cli("rows " + path + bad).exitCode, 2) << bad;
  EXPECT_EQ(Cli("export-data " + path + " --out -").exitCode, 2) << "one table only";
}

// `small_lost`: the small table counts 3 rows, but its one data page is
// zeroed.
std::string TwoTableFile(const testing::TempDir& dir, bool small_lost = false) {
  fixtures::sql2005::Built2005 built = fixtures::sql2005::BuildDatabase2005(
      {.tables = {{1001, "Big Table", 1, {{"x", 56}}, 2, 12},
                  {1002, "Small", 1, {{"y", 56}}, small_lost ? 3u : 0u}}});
  if (small_lost)
    for (uint32_t page : built.layout.tables.at(1002).DataPages())
      built.file.SetPage(page, fixtures::Bytes(page_layout::kPageSize, 0));
  // A page of the big table that its IAM page does not name.
  uint32_t stray = built.file.PageCount();
  built.file.SetPage(stray, fixtures::PageBuilder(page_layout::PageType::kData, stray)
                                .ObjId(built.layout.tables.at(1001).pageObjId)
                                .Build());
  return dir.Write(small_lost ? "two-lost.mdf" : "two.mdf", built.file.Image());
}

TEST(ScanTablesCommand, DetectedVersionAndScanOfASql2008File) {
  testing::TempDir dir;
  std::string path = TwoTableFile(dir);
  // The listing is the catalog command's; here the version note of a
  // detected version.
  std::string auto_catalog = Cli("catalog " + path, true).out;
  EXPECT_NE(auto_catalog.find("version: SQL 2005 or later"), std::string::npos) << auto_catalog;

  std::string scan = Cli("scan-tables " + path, true).out;
  EXPECT_NE(scan.find("dbo.Big Table: 12 -> 13 data pages\n"), std::string::npos) << scan;
  EXPECT_NE(scan.find("dbo.Small: 1 -> 1 data page\n"), std::string::npos) << scan;

  // A table that counts rows but whose pages the scan cannot find is no
  // success.
  CliResult lost = Cli("scan-tables " + TwoTableFile(dir, true), true);
  EXPECT_EQ(lost.exitCode, 3) << lost.out;
  EXPECT_NE(lost.out.find("dbo.Small: no data pages found (3 rows in the catalog)"), std::string::npos)
      << lost.out;
}

TEST(ToolCommandsTest, DetectPrintsTheCensusAsJsonAndSavesTheMap) {
  testing::TempDir dir;
  const fixtures::FileBuilder db = fixtures::BuildCarvableDatabase(FormatVersion::kSql2008, 40);
  fixtures::Bytes image = db.Image();
  image.resize(image.size() + 8192, 0);
  CliResult r = Cli("detect --json --map " + dir.File("m.png") + " " + dir.Write("d.mdf", image));
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("{\"pages\": 41, \"backup\": false, \"counts\": {\"null\": 1, \"err\": 0, \"data\": 33,"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"file_header\": 1"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.File("m.png")));
  // A backup's page images, its stream's other bytes not counted as damage.
  r = Cli("detect --json " + dir.Write("d.bak", db.BackupImage(0x1A00)));
  EXPECT_NE(r.out.find("{\"pages\": 40, \"backup\": true, \"counts\": {\"null\": 0, \"err\": 0, \"data\": 33,"),
            std::string::npos) << r.out;
  EXPECT_EQ(Cli("detect " + dir.File("none.mdf")).exitCode, 1);
  EXPECT_EQ(Cli("detect").exitCode, 2);
}

// The two stripes of a backup together, in either order, give what the
// data file gives; a stripe alone names the one it lacks and exits 3;
// bak2mdf of both writes the data file back.
TEST(ToolCommandsTest, StripesOfABackupTogetherReadAsTheWholeDatabase) {
  testing::TempDir dir;
  fixtures::FileBuilder db = fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 36);
  const std::string one = dir.Write("s1.bak", db.BackupImage(0x1A00, 2, 1));
  const std::string two = dir.Write("s2.bak", db.BackupImage(0x1A00, 2, 2));
  CliResult whole = Cli("export-data " + dir.Write("w.mdf", db.Image()) + " --out " + dir.File("w"));
  ASSERT_EQ(whole.exitCode, 0) << whole.out;
  for (const std::string& files : {one + " " + two, two + " " + one}) {
    CliResult r = Cli("export-data " + files + " --out " + dir.File("m"));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, whole.out);
  }
  CliResult alone = Cli("export-data " + one + " --out " + dir.File("a"), true);
  EXPECT_EQ(alone.exitCode, 3) << alone.out;
  EXPECT_NE(alone.out.find("stripe 2 of 2 missing"), std::string::npos) << alone.out;
  ASSERT_EQ(Cli("bak2mdf " + two + " " + one + " " + dir.File("b.mdf")).exitCode, 0);
  EXPECT_EQ(testing::FileSnapshot::Of(dir.File("b.mdf")).bytes, db.Image());
}

// A database of three files reads whole from its primary alone (the
// secondaries found beside it under their recorded names, any letter case)
// and from all three named in any order; without file 3 the table with an
// extent there is short and named (exit 3) and info says the file is
// missing; a file of another database, or secondaries alone, are refused.
TEST(ToolCommandsTest, DatabaseOfSeveralFilesReadsFromItsPrimary) {
  testing::TempDir dir, lacking;
  const fixtures::MultiFileDatabase db = fixtures::BuildMultiFileDatabase();
  const std::string primary = dir.Write(db.kPrimaryName, db.primary);
  const std::string third = dir.Write(db.kThirdName, db.third);
  const std::string fourth = dir.Write(db.kFourthName, db.fourth);
  CliResult alone = Cli("export-data " + primary + " --out " + dir.File("a"));
  ASSERT_EQ(alone.exitCode, 0) << alone.out;
  EXPECT_NE(alone.out.find("dbo.orders: 120 rows"), std::string::npos) << alone.out;
  EXPECT_NE(alone.out.find("dbo.notes: 3 rows"), std::string::npos) << alone.out;
  EXPECT_NE(testing::ReadText(dir.File("a/dbo.notes.csv")).find("3,third note"), std::string::npos);
  CliResult named = Cli("export-data " + fourth + " " + third + " " + primary + " --out " + dir.File("b"));
  EXPECT_EQ(named.exitCode, 0);
  EXPECT_EQ(named.out, alone.out);
  // Its backup: the same rows, and bak2mdf gives back each file (up to its
  // last page in use).
  const std::string bak = dir.Write("multi.bak", db.backup);
  EXPECT_EQ(Cli("export-data " + bak + " --out " + dir.File("c")).out, alone.out);
  ASSERT_EQ(Cli("bak2mdf " + bak + " " + dir.File("r.mdf")).exitCode, 0);
  for (const auto& [name, image] : {std::pair{"r.mdf", &db.primary}, {"r_3.ndf", &db.third}, {"r_4.ndf", &db.fourth}}) {
    const std::vector<uint8_t> back = testing::FileSnapshot::Of(dir.File(name)).bytes;
    ASSERT_LE(back.size(), image->size()) << name;
    EXPECT_TRUE(std::equal(back.begin(), back.end(), image->begin())) << name;
  }

  const std::string cut = lacking.Write(db.kPrimaryName, db.primary);
  lacking.Write(db.kFourthName, db.fourth);
  CliResult short_run = Cli("export-data " + cut + " --out " + lacking.File("o"), true);
  EXPECT_EQ(short_run.exitCode, 3) << short_run.out;
  EXPECT_NE(short_run.out.find("dbo.orders: 80 rows"), std::string::npos) << short_run.out;
  EXPECT_NE(short_run.out.find("file 3 (multi_3, E:\\more\\multi_3.ndf)"), std::string::npos);
  CliResult info = Cli("info " + cut);
  EXPECT_NE(info.out.find("file 3: multi_3, E:\\more\\multi_3.ndf: MISSING"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("file 4: multi_4, E:\\more\\MULTI_4.NDF: " + lacking.File(db.kFourthName)),
            std::string::npos) << info.out;

  const std::string stranger = lacking.Write("other.ndf", fixtures::BuildMultiFileDatabase(0x11).third);
  CliResult refused = Cli("info " + primary + " " + stranger, true);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.out.find("a file of another database"), std::string::npos) << refused.out;
  EXPECT_EQ(Cli("info " + third + " " + fourth).exitCode, 1);
  // The third file alone is read only with the tables' CREATE TABLE: the
  // orders of its extent, by their records' shape.
  const std::string ddl = "CREATE TABLE dbo.orders (id int NULL, note varchar(20) NULL)\n";
  const std::string schema = lacking.Write("orders.sql", fixtures::Bytes(ddl.begin(), ddl.end()));
  CliResult alone_third = Cli("export-data " + third + " --schema " + schema + " --out " + lacking.File("s"), true);
  EXPECT_NE(alone_third.out.find("dbo.orders: 40 deleted rows"), std::string::npos) << alone_third.out;
}

TEST(ToolCommandsTest, Bak2MdfWritesTheDataFile) {
  testing::TempDir dir;
  fixtures::FileBuilder db = fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 36);
  std::string bak = dir.Write("a.bak", db.BackupImage(0x1A00));
  CliResult r = Cli("bak2mdf " + bak + " " + dir.File("a.mdf"));
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("pages written: 40"), std::string::npos) << r.out;
  EXPECT_EQ(testing::FileSnapshot::Of(dir.File("a.mdf")).bytes, db.Image());
  EXPECT_EQ(Cli("bak2mdf " + dir.File("none.bak") + " " + dir.File("b.mdf")).exitCode, 1);

  // Interrupted while writing (a backup with a long empty tail keeps the
  // conversion busy): no temporary is left, and the exit code is 128 + SIGINT.
  std::filesystem::resize_file(bak, uint64_t{1} << 30);
  const std::string out = dir.File("c.mdf");
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(TOLLAMER_CLI_PATH, TOLLAMER_CLI_PATH, "bak2mdf", bak.c_str(), out.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto temporaries = [&] {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      n += e.path().filename().string().rfind("c.mdf.part-", 0) == 0;
    return n;
  };
  for (int i = 0; i < 20000 && temporaries() == 0; ++i) ::usleep(1000);
  ASSERT_EQ(temporaries(), 1u) << "the conversion ended before it could be interrupted";
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
  EXPECT_EQ(temporaries(), 0u);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// Three databases on one disk: each carved into a file of its own.
TEST(ToolCommandsTest, ExcavateListsFragmentsAndCarvesEachDatabaseApart) {
  testing::TempDir dir;
  fixtures::Bytes src(64 * 512, 0x20);
  const fixtures::Bytes gap(64 * 512, 0x20);
  const fixtures::Bytes dbs[] = {
      fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 40, "D:\\x.mdf").Image(),
      fixtures::BuildCarvableDatabase(FormatVersion::kSql2008, 36, "D:\\y.mdf").Image(),
      fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 34, "D:\\z.mdf").Image()};
  for (const fixtures::Bytes& db : dbs) {
    src.insert(src.end(), db.begin(), db.end());
    src.insert(src.end(), gap.begin(), gap.end());
  }
  std::string img = dir.Write("disk.img", src);
  CliResult r = Cli("excavate --json " + img);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("[{\"number\": 0, \"first_sector\": 64, \"last_sector\": 688, \"size_bytes\": 327680, "
            "\"first_page\": 0, \"last_page\": 39, ", 0),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("\"extra\": \"[MSSQL2000][size:320.0KB]D:\\\\x.mdf"), std::string::npos) << r.out;

  std::string out = dir.File("carved.mdf");
  CliResult x = Cli("excavate " + img + " --extract all --out " + out + " --csv " + dir.File("l.csv"));
  ASSERT_EQ(x.exitCode, 0) << x.out;
  EXPECT_NE(x.out.find("the fragments belong to 3 data files: one file each"), std::string::npos) << x.out;
  EXPECT_FALSE(std::filesystem::exists(out));
  for (int i = 0; i < 3; ++i) {
    const std::string carved = dir.File("carved-" + std::to_string(i + 1) + ".mdf");
    EXPECT_NE(x.out.find("into " + carved + " (fragment " + std::to_string(i) + ")"),
              std::string::npos) << x.out;
    EXPECT_EQ(testing::FileSnapshot::Of(carved).bytes, dbs[i]) << carved;
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("l.csv")));
  CliResult one = Cli("excavate " + img + " --extract 1 --out " + out);
  ASSERT_EQ(one.exitCode, 0) << one.out;
  EXPECT_EQ(testing::FileSnapshot::Of(out).bytes, dbs[1]);
  EXPECT_EQ(Cli("excavate " + img + " --extract 0").exitCode, 2);
  EXPECT_EQ(Cli("excavate " + img + " --cluster 0").exitCode, 2);
  EXPECT_EQ(Cli("excavate " + img + " --free-only").exitCode, 2);
  EXPECT_EQ(Cli("excavate " + dir.File("none.img")).exitCode, 1);
}

}  // namespace
}  // namespace tollamer
