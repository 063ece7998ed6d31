// Runs the tollamer-cli binary as a user would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "tests/fixtures/sample_database.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"
#include "platform/version.h"

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
      {"catalog " + mdf + " --server-version 2008", 0},
      {"catalog " + mdf + " --server-version 2022", 0},
      {"catalog " + mdf + " --version 2005", 0},
      {"catalog -q " + mdf + " --server-version 1999", 2},
      {"open " + mdf + " --server-version 2012", 0},
      {"rows " + mdf + " nosuchtable", 4},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object nosuch", 4},
      // An object by its name with or without its owner, whatever its kind.
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object titles", 0},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object '[dbo].[byroyalty]'", 0},
      {"export-schema " + mdf + " --out " + dir.path().string() + " --object dbo.id", 0},
      {"export-data " + mdf + " --table nosuch --out -", 4},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCli(c.args).exitCode, c.exitCode) << c.args;

  // The program's own version, from the build.
  CliRun version = RunCli("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("tollamer-cli ") + platform::kProgramVersion + "\n");
  // With --json an error is a JSON object, and stdout stays empty.
  CliRun json = testing::RunCommand(
      std::string("{ ") + TOLLAMER_CLI_PATH + " info --json " + bad + " 2>&1 >/dev/null; }", false);
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(json.out.rfind("{\"error\":{\"exit_code\":1,\"messages\":[\"", 0), 0u) << json.out;
  EXPECT_EQ(RunCli("info --json " + bad).out, "");
}

}  // namespace
}  // namespace tollamer
