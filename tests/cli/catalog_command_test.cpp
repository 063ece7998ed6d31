// tollamer-cli catalog, run as a user would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "tests/fixtures/sql2000_database.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using CliResult = testing::CommandResult;

CliResult Cli(const std::string& args) { return testing::RunCli(args, true); }

TEST(CatalogCommandTest, ListsTablesAsTheWorkLogWritesThemThenTheOtherObjects) {
  testing::TempDir dir;
  fixtures::sql2000::Database2000 desc = fixtures::sql2000::SampleDatabase2000();
  desc.tables.push_back({100, "empty", 1, {{"a"}}, 0, 1, false, {}});
  std::string path = dir.Write("s.mdf", fixtures::sql2000::BuildDatabase2000(desc).Image());
  CliResult r = Cli("catalog " + path + " --server-version 2000");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out,
            "Total table(s) present  :5\n"
            "dbo.empty : (0 Record)\n"
            "dbo.discounts : (3 Records)\n"
            "dbo.jobs : (14 Records)\n"
            "dbo.OrderDetails : (1 Record)\n"
            "dbo.authors : (23 Records)\n"
            "views:\ndbo.titleview\n"
            "procedures:\nbyroyalty\nreptq1\n"
            "functions:\nfn_discount\n"
            "types:\nid\ntid\nempid\n");
}

TEST(CatalogCommandTest, JsonCarriesColumnsTextsAndTypes) {
  testing::TempDir dir;
  std::string path = dir.Write(
      "s.mdf", fixtures::sql2000::BuildDatabase2000(fixtures::sql2000::SampleDatabase2000()).Image());
  CliResult r = Cli("catalog --json --server-version 2000 " + path);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("{\"name\":\"discount\",\"type\":\"decimal\",\"size\":\"(4,2)\","
                       "\"null\":\" NOT NULL\",\"xtype\":106,\"length\":5,\"colid\":5}"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"text\":\"\\nCREATE VIEW titleview\\r\\nAS\\r\\n"), std::string::npos);
  EXPECT_NE(r.out.find("-- 折扣"), std::string::npos) << "UTF-16 text as UTF-8";
  EXPECT_NE(r.out.find("\"types\":[{\"name\":\"id\",\"base\":\"varchar(11)\",\"null\":\"NOT NULL\"}"),
            std::string::npos);
}

TEST(CatalogCommandTest, FallbackIsReportedAndUnopenableFilesFail) {
  testing::TempDir dir;
  fixtures::sql2000::Layout2000 layout;
  fixtures::FileBuilder f =
      fixtures::sql2000::BuildDatabase2000(fixtures::sql2000::SampleDatabase2000(), &layout);
  f.MutablePage(layout.iamPage.at(1))[page_layout::kType] = 1;  // sysobjects IAM damaged
  CliResult r = Cli("catalog --server-version 2000 " + dir.Write("d.mdf", f.Image()));
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("whole-file scan"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Total table(s) present  :4\n"), std::string::npos) << r.out;
  EXPECT_EQ(Cli("catalog " + dir.File("missing.mdf")).exitCode, 1);
  EXPECT_EQ(Cli("catalog --server-version 1999 " + dir.File("missing.mdf")).exitCode, 2);
}

}  // namespace
}  // namespace tollamer
