// `open` and `export-schema` run through the tollamer-cli binary, and the
// text of the real files through every output.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "tests/fixtures/sample_database.h"
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

TEST(OpenCommandTest, UnopenableFileKeepsOnlyTheStartEntries) {
  testing::TempDir dir;
  CliResult r = Cli("open " + dir.File("missing.mdf"), true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("文件被其他软件占用！"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Scanning file...\r\n\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Total table(s)"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("completed"), std::string::npos) << r.out;
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
  EXPECT_NE(failed.out.find("日志创建错误！"), std::string::npos) << failed.out;
  EXPECT_EQ(Cli("open " + path + " --version 7").exitCode, 2);
}

TEST(ExportSchemaCommandTest, MissingFolderIsAnErrorAndNotCreated) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  CliResult r = Cli("export-schema " + path + " --out " + dir.File("out"), true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("路径不存在！"), std::string::npos) << r.out;
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
  EXPECT_EQ(none.exitCode, 1);
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
