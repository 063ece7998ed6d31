// tollamer-cli rows, run as a user would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "tests/fixtures/user_rows_database.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using RowsRun = testing::CommandResult;

RowsRun RunRows(const std::string& args) { return testing::RunCli("rows " + args); }

TEST(RowsCommandTest, TitlesAndRowsTabSeparatedOrAsJson) {
  testing::TempDir dir;
  fixtures::user_rows::EveryTypeDatabase2000 d = fixtures::user_rows::BuildEveryTypeDatabase2000();
  std::string path = dir.Write("e.mdf", d.file.Image());

  RowsRun tsv = RunRows(path + " everytype --server-version 2000");
  ASSERT_EQ(tsv.exitCode, 0);
  EXPECT_EQ(tsv.out.rfind("guid\ttiny\tsmall\t", 0), 0u) << tsv.out;
  EXPECT_NE(tsv.out.find("\n00112233-4455-6677-8899-AABBCCDDEEFF\t200\t-5\t123456\t"),
            std::string::npos) << tsv.out;

  RowsRun json = RunRows(path + " dbo.everytype --server-version 2000 --all --json");
  ASSERT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.out.rfind("{\"table\":\"dbo.everytype\",\"titles\":[\"guid\",", 0), 0u) << json.out;
  EXPECT_NE(json.out.find("\"Grüße\""), std::string::npos);
  EXPECT_NE(json.out.find("\"page\":null,\"page_count\":1,\"row_count\":2}"), std::string::npos)
      << json.out;

  EXPECT_EQ(RunRows(path + " nosuchtable --server-version 2000").exitCode, 4);
  EXPECT_EQ(RunRows(path + " everytype --server-version 2000 --page 0").exitCode, 2);
}

TEST(RowsCommandTest, CsvAndJsonFormatsWithTheTableOption) {
  testing::TempDir dir;
  fixtures::user_rows::EveryTypeDatabase2000 d = fixtures::user_rows::BuildEveryTypeDatabase2000();
  std::string path = dir.Write("e.mdf", d.file.Image());

  RowsRun csv = RunRows(path + " --table dbo.everytype --server-version 2000 --all --format csv");
  ASSERT_EQ(csv.exitCode, 0);
  EXPECT_EQ(csv.out.rfind("guid,tiny,small,", 0), 0u) << csv.out;
  EXPECT_NE(csv.out.find("\r\n00112233-4455-6677-8899-AABBCCDDEEFF,200,-5,123456,"),
            std::string::npos) << csv.out;
  // Three lines: the header and two rows, each ended by CR LF; the NULL
  // variant is an empty field.
  size_t lines = 0;
  for (size_t at = csv.out.find("\r\n"); at != std::string::npos; at = csv.out.find("\r\n", at + 2))
    ++lines;
  EXPECT_EQ(lines, 3u);
  EXPECT_NE(csv.out.find(",0x89504E47,\r\n"), std::string::npos) << csv.out;
  // rows and export-data write the same values, byte for byte.
  RowsRun exported = testing::RunCli("export-data " + path + " --table everytype --out -");
  ASSERT_EQ(exported.exitCode, 0);
  EXPECT_EQ(exported.out, csv.out);
  EXPECT_EQ(testing::RunCli("export-data " + path + " --out -").exitCode, 2) << "one table only";

  RowsRun json = RunRows(path + " --table everytype --server-version 2000 --format json");
  ASSERT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.out.rfind("[\n{\"guid\":\"00112233-4455-6677-8899-AABBCCDDEEFF\",\"tiny\":200,", 0),
            0u) << json.out;
  EXPECT_NE(json.out.find("\"img\":\"0x89504E47\",\"variant\":null}"), std::string::npos) << json.out;
  RowsRun count = testing::RunCli("rows " + path + " --table everytype --server-version 2000 --format csv", true);
  EXPECT_NE(count.out.find("grid page 1 of 1: 2 rows"), std::string::npos) << count.out;

  EXPECT_EQ(RunRows(path + " --table everytype --format json --json").exitCode, 2);
  EXPECT_EQ(RunRows(path + " --server-version 2000").exitCode, 2);
}

}  // namespace
}  // namespace tollamer
