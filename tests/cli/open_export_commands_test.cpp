// `open` and `export-schema` run through the tollamer-cli binary; the
// checks every command shares: outputs that are the input, open failures,
// and the text of the real files through every output.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>

#include "platform/file.h"
#include "tests/fixtures/sample_database.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

// The 2008 sample without user objects: an empty catalog.
const fixtures::SampleSpec kNoUserObjects{fixtures::FormatVersion::kSql2008, 64, false};


namespace fs = std::filesystem;

using CliResult = testing::CommandResult;

CliResult Cli(const std::string& args, bool with_stderr = false) {
  return testing::RunCli(args, with_stderr);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

const std::string kHeader =
    "Tollamer v1.3  ..... Repairs Corrupted MS SQL Database File..... Log Report";

TEST(OpenCommandTest, LogOfAFileWithNoUserTables) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  CliResult r = Cli("open " + path + " --version 2005");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  std::regex expected(
      "Tollamer v1\\.3  \\.\\.\\.\\.\\. Repairs Corrupted MS SQL Database File\\.\\.\\.\\.\\. "
      "Log Report\r\n\r\nRepair process started on[A-Z][a-z]+day, [A-Z][a-z]+ \\d\\d, \\d{4} "
      "\\d\\d:\\d\\d:\\d\\d\r\n\r\nFile selected for repair  :" + path +
      "\r\n\r\nScanning file\\.\\.\\.\r\n\r\nTotal table\\(s\\) present  :0\r\n\r\n\r\n"
      "Repair process completed on[^\r]+\r\n\r\n\n");
  EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}

// Every command that writes refuses an output that reaches its input, by
// the same path, a hard or symbolic link, or a detour through "..", and the
// input is left as it was.
TEST(OutputOverInputTest, EveryWritingCommandRefusesItsInput) {
  testing::TempDir dir;
  const std::string mdf = dir.Write(
      "v.mdf", fixtures::user_rows::BuildEveryTypeDatabase2000().file.Image());
  const std::string bak = dir.Write(
      "v.bak", fixtures::BuildCarvableDatabase(fixtures::FormatVersion::kSql2000, 36).BackupImage(0x1A00));
  fs::create_hard_link(mdf, dir.File("hard.mdf"));
  fs::create_symlink(mdf, dir.File("soft.mdf"));
  fs::create_symlink(bak, dir.File("soft.bak"));
  fs::create_directory(dir.File("sub"));
  const std::string hard = dir.File("hard.mdf"), soft = dir.File("soft.mdf");
  const std::string detour = dir.File("sub/../v.mdf");
  // An input named as the export of its own table, in the output folder.
  fs::create_directory(dir.File("out"));
  const std::string named = dir.File("out/dbo.everytype.csv");
  fs::copy_file(mdf, named);

  struct Case {
    std::string args;
    std::string input;
  };
  const std::string cli = TOLLAMER_CLI_PATH;
  const Case cases[] = {
      {cli + " bak2mdf " + bak + " " + bak, bak},
      {cli + " bak2mdf " + bak + " " + dir.File("soft.bak"), bak},
      {cli + " detect " + mdf + " --map " + mdf, mdf},
      {cli + " open " + mdf + " --log " + hard, mdf},
      {cli + " excavate " + mdf + " --csv " + soft, mdf},
      {cli + " excavate " + mdf + " --extract 0 --out " + detour, mdf},
      {cli + " import " + mdf + " --to sqlite:" + hard, mdf},
      {cli + " export-data " + mdf + " --out " + soft, mdf},
      {cli + " export-data " + named + " --version 2000 --out " + dir.File("out"), named},
      {cli + " export-schema " + mdf + " --out " + mdf, mdf},
      {"{ " + cli + " rows " + mdf + " everytype --version 2000 >> " + detour + "; }", mdf},
  };
  for (const Case& c : cases) {
    const testing::FileSnapshot before = testing::FileSnapshot::Of(c.input);
    CliResult r = testing::RunCommand(c.args, true);
    EXPECT_EQ(r.exitCode, 2) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("input"), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_TRUE(testing::FileSnapshot::Of(c.input) == before) << c.args;
  }
}

// Why a file could not be opened, told apart by every command that opens
// one, in English; a file with no page of a data file at all is refused.
TEST(OpenFailureTest, EachKindIsNamedAndExitsWithOne) {
  testing::TempDir dir;
  fs::create_directory(dir.File("folder"));
  const std::string held = dir.Write("held.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  platform::OpenResult holder = platform::OpenReadOnlyExclusive(held);
  ASSERT_NE(holder.file, nullptr);
  std::mt19937 random(7);
  fixtures::Bytes noise(64 * 1024);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  const std::string text(20000, 'x');
  struct Case {
    std::string path;
    std::string said;
  };
  const Case cases[] = {
      {dir.File("missing.mdf"), "no such file"},
      {dir.File("folder"), "not a file"},
      {held, "in use by another program"},
      {dir.Write("empty.mdf", {}), "not a recognised data or backup file"},
      {dir.Write("noise.mdf", noise), "not a recognised data or backup file"},
      {dir.Write("text.mdf", fixtures::Bytes(text.begin(), text.end())),
       "not a recognised data or backup file"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> commands = {
        "info", "catalog", "open", "export-data --out " + dir.File("o"),
        "import --to sqlite:" + dir.File("i.db"), "export-schema --out " + dir.path().string()};
    for (const std::string& command : commands) {
      CliResult r = Cli(command + " " + c.path, true);
      EXPECT_EQ(r.exitCode, 1) << command << " " << c.path << "\n" << r.out;
      EXPECT_NE(r.out.find(c.said), std::string::npos) << command << " " << c.path << "\n" << r.out;
      EXPECT_EQ(r.out.find("占用"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("0 tables"), std::string::npos) << r.out;
    }
  }
  // The log of a failed open keeps the start entries and the reason only.
  CliResult log = Cli("open " + dir.File("missing.mdf"));
  EXPECT_NE(log.out.find("Scanning file...\r\n\r\nCannot open the file: no such file"),
            std::string::npos) << log.out;
  EXPECT_EQ(log.out.find("Total table(s)"), std::string::npos) << log.out;
  EXPECT_EQ(log.out.find("completed"), std::string::npos) << log.out;
}

// Damaged copies of real files: what did not come out is named on stderr
// and the exit code says the job was incomplete.
TEST(DataLossTest, DamagedCopiesReportTheirLossesAndExitWithThree) {
  TOLLAMER_REQUIRE_REAL_FILE(pubs2000, "pubs-sql2000.mdf");
  TOLLAMER_REQUIRE_REAL_FILE(pubs2008, "pubs-sql2008.mdf");
  const fixtures::Bytes healthy2000 = testing::FileSnapshot::Of(pubs2000).bytes;
  const fixtures::Bytes healthy2008 = testing::FileSnapshot::Of(pubs2008).bytes;
  std::mt19937 random(11);
  // Page header: type at 0x01, m_objId at 0x18; noise over the page or its body.
  auto noise = [&](fixtures::Bytes file, auto chosen, size_t from) {
    for (size_t page = 0; page < file.size() / 8192; ++page) {
      const uint8_t* p = file.data() + page * 8192;
      const uint32_t owner = p[0x18] | p[0x19] << 8 | p[0x1A] << 16 | uint32_t{p[0x1B]} << 24;
      if (!chosen(page, p[1], owner)) continue;
      for (size_t i = from; i < 8192; ++i) file[page * 8192 + i] = static_cast<uint8_t>(random());
    }
    return file;
  };
  const size_t publishers = std::string(healthy2008.begin(), healthy2008.end()).find("New Moon Books") / 8192;
  testing::TempDir dir;
  struct Case {
    std::string path;
    std::string said;
  };
  const Case cases[] = {
      // SQL 2000 syscolumns (object 3) data pages: every table's columns lost.
      {dir.Write("cols.mdf", noise(healthy2000, [](size_t, uint8_t type, uint32_t owner) {
         return type == 1 && owner == 3; }, 0)),
       "dbo.authors: skipped (no columns known)"},
      // The whole publishers page, header included: no page of it is left.
      {dir.Write("gone.mdf", noise(healthy2008, [&](size_t page, uint8_t, uint32_t) {
         return page == publishers; }, 0)),
       "dbo.publishers: skipped (no data pages found)"},
      // The rows of the publishers page: the catalog still counts 8.
      {dir.Write("rows.mdf", noise(healthy2008, [&](size_t page, uint8_t, uint32_t) {
         return page == publishers; }, 96)),
       "dbo.publishers: 0 of 8 rows recovered"},
  };
  for (const Case& c : cases) {
    for (const std::string& command : {"export-data --out " + dir.File("csv"),
                                       "import --to sqlite:" + c.path + ".db"}) {
      CliResult r = Cli(command + " " + c.path, true);
      EXPECT_EQ(r.exitCode, 3) << command << " " << c.path << "\n" << r.out;
      EXPECT_NE(r.out.find("tollamer-cli: " + c.said), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("tollamer-cli: incomplete: "), std::string::npos) << r.out;
      // The engine's stopping messages (a damaged system index) in English.
      EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](char ch) { return ch > 0; })) << r.out;
    }
  }
  // SQL 2008 sysallocunits (allocation unit 7) all noise: the pages are
  // found by their headers and every row comes back.
  const std::string units = dir.Write("units.mdf", noise(healthy2008, [](size_t, uint8_t type, uint32_t owner) {
    return type == 1 && owner == 7; }, 0));
  CliResult recovered = Cli("export-data --out " + dir.File("units") + " " + units, true);
  EXPECT_EQ(recovered.exitCode, 0) << recovered.out;
  EXPECT_NE(recovered.out.find("255 rows written"), std::string::npos) << recovered.out;
  CliResult scan = Cli("scan-tables " + cases[1].path, true);
  EXPECT_EQ(scan.exitCode, 3) << scan.out;
  EXPECT_NE(scan.out.find("tollamer-cli: dbo.publishers: no data pages found (8 rows in the catalog)"),
            std::string::npos) << scan.out;
  CliResult rows = Cli("rows --all --json " + cases[2].path + " dbo.publishers", true);
  EXPECT_EQ(rows.exitCode, 3) << rows.out;
  EXPECT_NE(rows.out.find("\"catalogRowCount\":8,"), std::string::npos) << rows.out;
  CliResult schema = Cli("export-schema " + cases[0].path + " --kind tables --out " + dir.path().string(), true);
  EXPECT_EQ(schema.exitCode, 3) << schema.out;
  EXPECT_NE(ReadAll(dir.File("AllTable.sql")).find("-- [dbo].[authors]: its columns are lost"),
            std::string::npos);
  EXPECT_EQ(ReadAll(dir.File("AllTable.sql")).find("( )"), std::string::npos);
  EXPECT_EQ(Cli("export-data " + pubs2008 + " --table dbo.nosuch --out " + dir.File("n")).exitCode, 4);
  EXPECT_EQ(Cli("export-data " + pubs2008 + " --out " + dir.File("whole")).exitCode, 0);
}

TEST(OpenCommandTest, ReportIsSavedOrItsFailureReported) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  CliResult saved = Cli("open " + path + " --log " + dir.File("r.log"));
  ASSERT_EQ(saved.exitCode, 0);
  std::string report = ReadAll(dir.File("r.log"));
  EXPECT_EQ(report.rfind(kHeader + "\r\n\r\nRepair process started on", 0), 0u) << report;
  EXPECT_NE(report.find("Total table(s) present  :0\r\n"), std::string::npos);

  dir.Write("plain", {1});
  CliResult failed = Cli("open " + path + " --log " + dir.File("plain") + "/r.log", true);
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.out.find("cannot write the report"), std::string::npos) << failed.out;
  EXPECT_EQ(Cli("open " + path + " --version 7").exitCode, 2);
}

TEST(ExportSchemaCommandTest, MissingFolderIsAnErrorAndNotCreated) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  CliResult r = Cli("export-schema " + path + " --out " + dir.File("out"), true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("no such folder"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir.File("out")));
  EXPECT_EQ(Cli("export-schema " + path).exitCode, 2) << "--out is required";
  EXPECT_EQ(Cli("export-schema " + path + " --out " + dir.path().string() + " --kind nope").exitCode, 2);
  EXPECT_EQ(Cli("export-schema " + path + " --out " + dir.path().string() + " --encoding latin1")
                .exitCode, 2);
}

TEST(ExportSchemaCommandTest, EmptyCatalogGivesFiveEmptyFiles) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  fs::create_directory(dir.File("out"));
  CliResult r = Cli("export-schema " + path + " --version 2005 --out " + dir.File("out"));
  ASSERT_EQ(r.exitCode, 0);
  std::string out = dir.File("out");
  EXPECT_EQ(r.out, out + "/AllTable.sql\n" + out + "/AllViews.sql\n" + out + "/AllProcs.sql\n" +
                       out + "/AllFun.sql\n" + out + "/AllUtype.sql\n");
  for (const char* name : {"AllTable.sql", "AllViews.sql", "AllProcs.sql", "AllFun.sql",
                           "AllUtype.sql"})
    EXPECT_EQ(fs::file_size(fs::path(out) / name), 0u) << name;
  CliResult none = Cli("export-schema " + path + " --out " + out + " --object dbo.x");
  EXPECT_EQ(none.exitCode, 4);
}

// The real files through the binary: the five files, tables in the order of
// the log's table lines, and the one-object file of a table.
TEST(ExportSchemaCommandTest, RealFiles) {
  for (const char* name : {"pubs-sql2000.mdf", "pubs-sql2005.mdf", "pubs-sql2008.mdf"}) {
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    testing::TempDir dir;
    const std::string out = dir.path().string();
    CliResult log = Cli("open " + Quote(path));
    CliResult r = Cli("export-schema " + Quote(path) + " --out " + out);
    ASSERT_EQ(r.exitCode, 0) << name;
    EXPECT_EQ(r.out, out + "/AllTable.sql\n" + out + "/AllViews.sql\n" + out + "/AllProcs.sql\n" +
                         out + "/AllFun.sql\n" + out + "/AllUtype.sql\n");
    std::string tables;
    std::regex logged("\r\n([^\r\n.]+)\\.([^\r\n]+) : \\(\\d+ Records?\\)(?=\r\n)");
    for (std::sregex_iterator it(log.out.begin(), log.out.end(), logged), e; it != e; ++it)
      tables += "CREATE TABLE [" + (*it)[1].str() + "].[" + (*it)[2].str() + "]\r\n";
    std::string scripted;
    std::string all = ReadAll(fs::path(out) / "AllTable.sql");
    std::regex created("CREATE TABLE [^\r]+\r\n");
    for (std::sregex_iterator it(all.begin(), all.end(), created), e; it != e; ++it)
      scripted += it->str();
    EXPECT_NE(tables.find("[dbo].[titles]"), std::string::npos) << log.out;
    EXPECT_EQ(scripted, tables) << name;
    EXPECT_NE(all.find("CREATE TABLE [dbo].[authors]\r\n(\r\n[au_id] id  NOT NULL,\r\n"),
              std::string::npos) << name;

    CliResult one = Cli("export-schema " + Quote(path) + " --out " + out +
                        " --kind tables --object dbo.jobs");
    ASSERT_EQ(one.exitCode, 0) << name;
    std::string jobs = ReadAll(fs::path(out) / "dbo.jobs(TableStruct).sql");
    EXPECT_EQ(jobs.rfind("CREATE TABLE [dbo].[jobs]\r\n(\r\n[job_id] smallint  NOT NULL,\r\n", 0),
              0u) << jobs;
    EXPECT_EQ(jobs.substr(jobs.size() - 5), ")\r\nGO");
  }
}

// The pubs files keep München's ü in three ways: as 0x81 in publishers
// (pubs installed through an ANSI-to-OEM converting client: code page 850
// bytes in a 1252 column) in the 2000 and 2008 files, as 0xFC (1252) in the
// 2005 file and in pub_info's text. Every output gives "München", and
// every output is valid UTF-8.
TEST(TextOutputRealFileTest, PubsTextIsUtf8InEveryOutput) {
  for (const char* name : {"pubs-sql2000.mdf", "pubs-sql2005.mdf", "pubs-sql2008.mdf"}) {
    SCOPED_TRACE(name);
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    testing::TempDir dir;
    const fs::path out = dir.path();
    const std::string file = Quote(path);
    for (const char* format : {"tsv", "csv", "json"}) {
      CliResult rows = Cli("rows " + file + " --table dbo.publishers --all --format " + format);
      ASSERT_EQ(rows.exitCode, 0) << format;
      EXPECT_NE(rows.out.find("München"), std::string::npos) << rows.out;
      EXPECT_TRUE(testing::IsValidUtf8(rows.out)) << format;
    }
    CliResult catalog = Cli("catalog " + file + " --json");
    ASSERT_EQ(catalog.exitCode, 0);
    EXPECT_TRUE(testing::IsValidUtf8(catalog.out));
    ASSERT_EQ(Cli("export-schema " + file + " --out " + out.string()).exitCode, 0);
    for (const std::string format : {"csv", "sql"}) {
      const fs::path data = out / format;
      fs::create_directory(data);
      ASSERT_EQ(Cli("export-data " + file + " --out " + data.string() + " --format " + format)
                    .exitCode, 0);
      std::string publishers;
      for (const auto& entry : fs::directory_iterator(data))
        if (entry.path().filename().string().starts_with("dbo.publishers"))
          publishers = ReadAll(entry.path());
      EXPECT_NE(publishers.find("München"), std::string::npos) << format;
    }
    ASSERT_EQ(Cli("import " + file + " --to sqlite:" + (out / "p.db").string()).exitCode, 0);
    EXPECT_NE(ReadAll(out / "p.db").find("München"), std::string::npos);
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file() || entry.path().extension() == ".db") continue;
      EXPECT_TRUE(testing::IsValidUtf8(ReadAll(entry.path()))) << entry.path();
    }
  }
}

}  // namespace
}  // namespace tollamer
