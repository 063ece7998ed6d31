// tollamer-cli catalog --server-version 2005 and scan-tables on a synthetic
// SQL 2008 file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/fixtures/sql2005_database.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::sql2005;

std::string RunCliText(const std::string& args) { return testing::RunCli(args, true).out; }

// `small_lost`: the small table counts 3 rows, but its one data page is
// zeroed.
std::string TwoTableFile(const testing::TempDir& dir, bool small_lost = false) {
  Database2005 d;
  Table2005 a{1001, "Big Table", 1};
  a.columns = {{"x", 56}};
  a.rowCount = 2;
  a.dataPages = 12;
  Table2005 b{1002, "Small", 1};
  b.columns = {{"y", 56}};
  if (small_lost) b.rowCount = 3;
  d.tables = {a, b};
  Built2005 built = BuildDatabase2005(d);
  if (small_lost)
    for (uint32_t page : built.layout.tables.at(1002).DataPages())
      built.file.SetPage(page, Bytes(page_layout::kPageSize, 0));
  // A page of the big table that its IAM page does not name.
  uint32_t stray = built.file.PageCount();
  built.file.SetPage(stray, PageBuilder(page_layout::PageType::kData, stray)
                                .ObjId(built.layout.tables.at(1001).pageObjId)
                                .Build());
  return dir.Write(small_lost ? "two-lost.mdf" : "two.mdf", built.file.Image());
}

TEST(ScanTablesCommand, CatalogAndScanOfASql2008File) {
  testing::TempDir dir;
  std::string path = TwoTableFile(dir);
  std::string catalog = RunCliText("catalog --server-version 2005 " + path);
  EXPECT_NE(catalog.find("Total table(s) present  :2\n"), std::string::npos) << catalog;
  EXPECT_NE(catalog.find("dbo.BigTable : (2 Records)\n"), std::string::npos) << catalog;

  std::string auto_catalog = RunCliText("catalog " + path);
  EXPECT_NE(auto_catalog.find("version: SQL 2005 or later"), std::string::npos) << auto_catalog;

  std::string scan = RunCliText("scan-tables " + path);
  EXPECT_NE(scan.find("dbo.BigTable : 12 -> 13 data page(s)\n"), std::string::npos) << scan;
  EXPECT_NE(scan.find("dbo.Small : 1 -> 1 data page(s)\n"), std::string::npos) << scan;

  // A table that counts rows but whose pages the scan cannot find is no
  // success.
  testing::CommandResult lost = testing::RunCli("scan-tables " + TwoTableFile(dir, true), true);
  EXPECT_EQ(lost.exitCode, 3) << lost.out;
  EXPECT_NE(lost.out.find("dbo.Small: no data pages found (3 rows in the catalog)"), std::string::npos)
      << lost.out;
}

}  // namespace
}  // namespace tollamer
