// Runs the tollamer-cli binary as a user would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "tests/fixtures/sample_database.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using CliRun = testing::CommandResult;

CliRun RunCli(const std::string& args) { return testing::RunCli(args); }

TEST(InfoCommandTest, JsonDescribesASampleDataFile) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
  CliRun r = RunCli("info --json " + path);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("\"kind\": \"data\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"base_offset\": 0,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"pages\": 64,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"version\": {\"setting\": 1, \"dbi_version\": 655, \"name\": \"SQL Server 2008\"}"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"13\": 1"), std::string::npos) << "one boot page: " << r.out;
}

TEST(InfoCommandTest, BackupAndUnreadableBootPage) {
  testing::TempDir dir;
  fixtures::FileBuilder f = fixtures::BuildSampleDatabase({fixtures::FormatVersion::kSql2000, 32});
  CliRun backup = RunCli("info --json " + dir.Write("b.bak", f.BackupImage(0x1A00)));
  ASSERT_EQ(backup.exitCode, 0);
  EXPECT_NE(backup.out.find("\"kind\": \"backup\""), std::string::npos) << backup.out;
  EXPECT_NE(backup.out.find("\"dbi_version\": 539"), std::string::npos) << backup.out;
  f.SetPage(9, fixtures::Bytes(8192, 0));
  CliRun no_boot = RunCli("info --json " + dir.Write("nb.mdf", f.Image()));
  ASSERT_EQ(no_boot.exitCode, 0);
  EXPECT_NE(no_boot.out.find("\"setting\": 0, \"dbi_version\": null"), std::string::npos)
      << no_boot.out;
}

TEST(InfoCommandTest, ExitCodesForUnreadableFilesAndBadUsage) {
  testing::TempDir dir;
  fixtures::Bytes tape(100, 0);
  std::copy_n("TAPE", 4, tape.begin());
  EXPECT_EQ(RunCli("info " + dir.Write("t.bak", tape)).exitCode, 1);
  EXPECT_EQ(RunCli("").exitCode, 2);
  EXPECT_EQ(RunCli("info").exitCode, 2);
  EXPECT_EQ(RunCli("frobnicate x").exitCode, 2);
  EXPECT_EQ(RunCli("info --bogus x").exitCode, 2);
}

}  // namespace
}  // namespace tollamer
