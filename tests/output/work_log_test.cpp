// The work log: header, appends from two threads, clearing, saving, the
// report name, and the lines of an open.
#include "output/work_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "output/open_log.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "Tollamer v1.3  ..... Repairs Corrupted MS SQL Database File..... Log Report";

// Thursday, March 5th 2009, 08:04:09 (seconds, minutes, hours, day, month,
// year, weekday, day of the year).
std::tm March5th2009() { return std::tm{9, 4, 8, 5, 2, 2009 - 1900, 4, 63}; }

// A report replaces an existing one; one in a folder that cannot hold it
// is an error and leaves nothing.
TEST(WorkLogTest, SaveReplacesAnExistingReportAndAFailedSaveLeavesNothing) {
  testing::TempDir dir;
  dir.Write("r.log", fixtures::Bytes(4000, 'q'));
  WorkLog log;
  log.AppendEntry("File selected for repair  :/d/订单.mdf");
  ASSERT_EQ(log.SaveReport(dir.File("r.log")), std::nullopt);
  EXPECT_EQ(testing::ReadText(dir.File("r.log")), log.Text());
  ASSERT_EQ(log.SaveReport(dir.File("g.log"), OutputEncoding::kGbk), std::nullopt);
  EXPECT_EQ(testing::ReadText(dir.File("g.log")),
            kHeader + "File selected for repair  :/d/\xB6\xA9\xB5\xA5.mdf\r\n\r\n");
  dir.Write("plain", {1, 2, 3});
  std::string before = log.Text();
  // Under a regular file, and in a folder that does not exist.
  EXPECT_NE(log.SaveReport(dir.File("plain") + "/r.log"), std::nullopt);
  EXPECT_NE(log.SaveReport(dir.File("no/such/r.log")), std::nullopt);
  EXPECT_FALSE(fs::exists(dir.File("no")));
  EXPECT_EQ(testing::ReadText(dir.File("plain")), std::string("\x01\x02\x03"));
  EXPECT_EQ(log.Text(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

// The observer sees appends and clearing in order; appends from two
// threads stay whole.
TEST(WorkLogTest, StartsWithTheHeaderAndAppendsFromTwoThreadsStayWhole) {
  WorkLog log;
  EXPECT_EQ(log.Text(), kHeader);
  std::vector<WorkLogChange> seen;
  log.SetObserver([&](const WorkLogChange& c) { seen.push_back(c); });
  log.Append("one");
  log.AppendEntry("two");
  EXPECT_EQ(log.Text(), kHeader + "onetwo\r\n\r\n");
  log.Clear();
  EXPECT_EQ(log.Text(), kHeader);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "one");
  EXPECT_EQ(seen[1].text, "two\r\n\r\n");
  EXPECT_EQ(seen[2].kind, WorkLogChange::Kind::kReplaced);
  EXPECT_EQ(seen[2].text, kHeader);

  size_t notified = 0;
  log.SetObserver([&](const WorkLogChange& change) {
    EXPECT_EQ(change.kind, WorkLogChange::Kind::kAppended);
    ++notified;
  });
  const std::string a(300, 'a');
  const std::string b(300, 'b');
  constexpr int kEach = 500;
  std::thread worker([&] {
    for (int i = 0; i < kEach; ++i) log.AppendEntry(a);
  });
  for (int i = 0; i < kEach; ++i) log.AppendEntry(b);
  worker.join();
  EXPECT_EQ(notified, 2u * kEach);
  std::string text = log.Text();
  ASSERT_EQ(text.substr(0, kHeader.size()), kHeader);
  size_t pos = kHeader.size();
  int as = 0, bs = 0;
  while (pos < text.size()) {
    std::string entry = text.substr(pos, 304);
    ASSERT_TRUE(entry == a + "\r\n\r\n" || entry == b + "\r\n\r\n") << "torn at " << pos;
    (entry[0] == 'a' ? as : bs)++;
    pos += 304;
  }
  EXPECT_EQ(as, kEach);
  EXPECT_EQ(bs, kEach);
}

TEST(LogTimeTest, EnglishNamesAndDefaultReportName) {
  std::tm t = March5th2009();
  EXPECT_EQ(FormatLogTime(t), "Thursday, March 05, 2009 08:04:09");
  EXPECT_EQ(FormatLogTime(std::nullopt), "");
  EXPECT_EQ(DefaultReportName(t), "2009年3月5日8时4分9秒.log");
  t.tm_mon = 11, t.tm_mday = 31, t.tm_hour = 23, t.tm_min = 59, t.tm_sec = 0;
  EXPECT_EQ(DefaultReportName(t), "2009年12月31日23时59分0秒.log");
}

TEST(OpenLogTest, TheLinesOfAWholeOpen) {
  Catalog c;
  c.tables[30] = TableInfo{.id = 30, .fullName = "dbo.big", .rowCount = 3000000000ull};
  c.tables[10] = TableInfo{.id = 10, .fullName = "dbo.one", .rowCount = 1};
  c.tables[20] = TableInfo{.id = 20, .fullName = "dbo.none", .rowCount = 0};
  c.tables[25] = TableInfo{.id = 25, .fullName = "dbo.two", .rowCount = 2};
  WorkLog log;
  AppendRepairStart(log, "/data/sales.mdf", March5th2009(), [](std::chrono::milliseconds) {});
  AppendCatalogSummary(log, c);
  AppendRepairCompleted(log, std::nullopt);
  EXPECT_EQ(log.Text(),
            kHeader +
                "\r\n\r\nRepair process started on Thursday, March 05, 2009 08:04:09\r\n\r\n"
                "File selected for repair  :/data/sales.mdf\r\n\r\n"
                "Scanning file...\r\n\r\n"
                "Total table(s) present  :4\r\n"
                "dbo.one : (1 Record)\r\n"
                "dbo.none : (0 Record)\r\n"
                "dbo.two : (2 Records)\r\n"
                "dbo.big : (3000000000 Records)\r\n"
                "\r\n\r\nRepair process completed on \r\n\r\n");
  EXPECT_EQ(RecordCountText(18446744073709551615ull), "18446744073709551615 Records)");
}

}  // namespace
}  // namespace tollamer
