// The tool commands of tollamer-cli, run as a user would.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/fixtures/tools_fixtures.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using fixtures::FormatVersion;

using testing::Cli;
using testing::CliResult;

TEST(ToolCommandsTest, DetectPrintsTheCensusAsJsonAndSavesTheMap) {
  testing::TempDir dir;
  fixtures::Bytes image = fixtures::BuildCarvableDatabase(FormatVersion::kSql2008, 40).Image();
  image.resize(image.size() + 8192, 0);
  std::string path = dir.Write("d.mdf", image);
  CliResult r = Cli("detect --json --map " + dir.File("m.png") + " " + path);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("{\"pages\": 41, \"counts\": {\"null\": 1, \"err\": 0, \"data\": 33,"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"file_header\": 1"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.File("m.png")));
  EXPECT_EQ(Cli("detect " + dir.File("none.mdf")).exitCode, 1);
  EXPECT_EQ(Cli("detect").exitCode, 2);
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
  for (int i = 0; i < 2000 && temporaries() == 0; ++i) ::usleep(1000);
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
