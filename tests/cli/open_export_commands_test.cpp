// `open` and `export-schema` run through the tollamer-cli binary.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "tests/fixtures/sample_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;

struct CliResult {
  int exitCode = -1;
  std::string out;
};

CliResult Cli(const std::string& args, bool with_stderr = false) {
  std::string command =
      std::string(TOLLAMER_CLI_PATH) + " " + args + (with_stderr ? " 2>&1" : " 2>/dev/null");
  CliResult r;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  while (size_t n = fread(buf.data(), 1, buf.size(), p)) r.out.append(buf.data(), n);
  int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
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
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
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
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
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
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
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
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
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

// ---- the real files ----

// The table names of the log's per-table lines, in order.
std::vector<std::string> LoggedTables(const std::string& log) {
  std::vector<std::string> names;
  std::regex line("\r\n([^\r\n]+) : \\(\\d+ Records?\\)(?=\r\n)");
  for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
    names.push_back((*it)[1]);
  return names;
}

// "[owner].[table]" of each CREATE TABLE in order, as owner.table.
std::vector<std::string> ScriptedTables(const std::string& script) {
  std::vector<std::string> names;
  std::regex line("CREATE TABLE \\[([^\\]]*)\\]\\.\\[([^\\]]*)\\]\r\n\\(\r\n");
  for (std::sregex_iterator it(script.begin(), script.end(), line), end; it != end; ++it)
    names.push_back((*it)[1].str() + "." + (*it)[2].str());
  return names;
}

// The column names of one table's script, in order.
std::vector<std::string> ScriptedColumns(const std::string& script, const std::string& table) {
  std::vector<std::string> columns;
  size_t start = script.find("].[" + table + "]\r\n(\r\n");
  if (start == std::string::npos) return columns;
  size_t end = script.find(")\r\nGO\r\n\r\n", start);
  std::string body = script.substr(start, end - start);
  std::regex column("\r\n\\[([^\\]]+)\\] ");
  for (std::sregex_iterator it(body.begin(), body.end(), column), e; it != e; ++it)
    columns.push_back((*it)[1]);
  return columns;
}

void ExportRealFile(const std::string& name) {
  TOLLAMER_REQUIRE_REAL_FILE(path, name);
  testing::TempDir dir;
  CliResult log = Cli("open " + Quote(path));
  ASSERT_EQ(log.exitCode, 0) << log.out;
  CliResult r = Cli("export-schema " + Quote(path) + " --out " + dir.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  for (const char* file : {"AllTable.sql", "AllViews.sql", "AllProcs.sql", "AllFun.sql",
                           "AllUtype.sql"})
    EXPECT_TRUE(fs::exists(dir.path() / file)) << file;
  std::string tables = ReadAll(dir.path() / "AllTable.sql");
  std::vector<std::string> logged = LoggedTables(log.out);
  EXPECT_GE(logged.size(), 11u) << log.out;
  EXPECT_EQ(ScriptedTables(tables), logged);
  EXPECT_EQ(ScriptedColumns(tables, "authors"),
            (std::vector<std::string>{"au_id", "au_lname", "au_fname", "phone", "address", "city",
                                      "state", "zip", "contract"}));
  EXPECT_EQ(ScriptedColumns(tables, "discounts"),
            (std::vector<std::string>{"discounttype", "stor_id", "lowqty", "highqty", "discount"}));
  // Every table script closes and is followed by its GO.
  size_t creates = ScriptedTables(tables).size();
  size_t closings = 0;
  for (size_t p = 0; (p = tables.find(")\r\nGO\r\n\r\n", p)) != std::string::npos; ++p) ++closings;
  EXPECT_EQ(closings, creates);

  std::string views = ReadAll(dir.path() / "AllViews.sql");
  EXPECT_NE(views.find("CREATE VIEW titleview"), std::string::npos) << views;
  EXPECT_NE(views.find("   AND titles.title_id = titleauthor.title_id\r\n\r\n\r\ngo\r\n\r\n"),
            std::string::npos)
      << views;
  std::string procs = ReadAll(dir.path() / "AllProcs.sql");
  for (const char* proc : {"byroyalty", "reptq1", "reptq2", "reptq3"})
    EXPECT_NE(procs.find(std::string("CREATE PROCEDURE ") + proc), std::string::npos) << proc;
  EXPECT_NE(procs.find("where titleauthor.royaltyper = @percentage\r\n\r\n\r\ngo\r\n\r\n"),
            std::string::npos)
      << procs;
  std::string types = ReadAll(dir.path() / "AllUtype.sql");
  EXPECT_NE(types.find("EXEC sp_addtype N'id', N'varchar(11)',N'NOT NULL'\r\n  GO\r\n\r\n"),
            std::string::npos) << types;
  EXPECT_NE(types.find("EXEC sp_addtype N'empid', N'char(9)',N'NOT NULL'\r\n  GO\r\n\r\n"),
            std::string::npos) << types;

  // One object: the table's own file.
  CliResult one = Cli("export-schema " + Quote(path) + " --out " + dir.path().string() +
                " --kind tables --object dbo.jobs");
  ASSERT_EQ(one.exitCode, 0);
  std::string jobs = ReadAll(dir.path() / "dbo.jobs(TableStruct).sql");
  EXPECT_EQ(jobs.rfind("CREATE TABLE [dbo].[jobs]\r\n(\r\n[job_id] smallint  NOT NULL,\r\n", 0), 0u)
      << jobs;
  EXPECT_EQ(jobs.substr(jobs.size() - 5), ")\r\nGO");
}

TEST(ExportSchemaRealFileTest, Pubs2000) { ExportRealFile("pubs-sql2000.mdf"); }
TEST(ExportSchemaRealFileTest, Pubs2005) { ExportRealFile("pubs-sql2005.mdf"); }
TEST(ExportSchemaRealFileTest, Pubs2008) { ExportRealFile("pubs-sql2008.mdf"); }

}  // namespace
}  // namespace tollamer
