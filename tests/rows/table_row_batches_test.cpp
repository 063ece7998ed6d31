// Rows decoded in batches on worker threads come out as the one-thread walk
// gives them: the same rows in the same order, the same messages in the
// same order, for any thread count and batch size, and a stop is a stop.
#include "engine/rows/table_row_batches.h"

#include <gtest/gtest.h>

#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/rows/table_rows.h"
#include "engine/rows/typed_rows.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
namespace sql2005f = fixtures::sql2005;
using Row = std::vector<std::string>;

constexpr uint32_t kTable = 900;

void Join(const Row& row, std::string& out) {
  for (const std::string& cell : row) out += cell + "|";
  out += "\n";
}

class TableRowBatchesTest : public ::testing::Test {
 protected:
  // `pages` data pages of an int, a varchar and an nvarchar column, page p
  // holding p % 5 + 1 rows (some with NULLs), then `extra_pages` as they are.
  void Build(uint32_t pages, const std::vector<Bytes>& extra_pages = {}) {
    sql2005f::Table2005 t{kTable, "many", 1,
                          {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 30}, {"w", 231, 0, 40}}, 0,
                          pages + static_cast<uint32_t>(extra_pages.size())};
    sql2005f::Built2005 built = sql2005f::BuildDatabase2005({.tables = {t}});
    std::vector<UserColumn> columns = Columns(t.columns);
    std::vector<std::vector<Bytes>> rows;
    for (uint32_t p = 0; p < pages; ++p) {
      std::vector<Bytes> page;
      for (uint32_t r = 0; r <= p % 5; ++r) {
        const int32_t n = static_cast<int32_t>(p * 10 + r);
        page.push_back(UserRecord(
            columns, {Fixed(Int32(n)), r % 2 ? Null() : Var(Text("s, \"" + std::to_string(n))),
                      Var(Utf16("w" + std::to_string(n)))}));
      }
      rows.push_back(page);
    }
    for (size_t i = 0; i < extra_pages.size(); ++i) rows.push_back({});
    FillTablePages2005(built, kTable, rows, FormatVersion::kSql2008);
    for (size_t i = 0; i < extra_pages.size(); ++i)
      SetTablePage2005(built, kTable, pages + i, extra_pages[i], FormatVersion::kSql2008);
    db_ = std::make_unique<CMdfDatabase>(messages_);
    ASSERT_TRUE(db_->OpenFile(dir_.Write("t.mdf", built.file.Image())));
    tollamer::sql2005::OpenCatalog2005(*db_);
  }

  std::string OneThreadWalk(uint64_t& rows) {
    std::string text;
    rows = 0;
    ForEachTableRow(*db_, VersionSetting::kSql2005, kTable, [&](const Row& r) {
      Join(r, text);
      ++rows;
      return true;
    });
    return text;
  }

  std::string Batches(const RowBatchOptions& options, uint64_t& rows, size_t* batches = nullptr) {
    std::string text;
    rows = 0;
    EXPECT_TRUE(ForEachTableRowBatch(
        *db_, VersionSetting::kSql2005, kTable, Join,
        [&](const std::string& t, uint64_t n) {
          text += t;
          rows += n;
          if (batches) ++*batches;
          return true;
        },
        options));
    return text;
  }

  testing::TempDir dir_;
  RecordingMessages messages_;
  std::unique_ptr<CMdfDatabase> db_;
};

TEST_F(TableRowBatchesTest, AnyThreadCountAndBatchSizeGiveTheOneThreadTextAndStopsEndIt) {
  Build(40);
  uint64_t expected_rows = 0;
  const std::string expected = OneThreadWalk(expected_rows);
  ASSERT_EQ(expected_rows, 40u / 5 * 15);
  ASSERT_EQ(expected.substr(0, expected.find('\n')), "0|s, \"0|w0|") << expected;
  // The list in another order, with a page named twice, is walked as listed.
  std::vector<uint64_t>& list = db_->dataPageLists[kTable];
  std::reverse(list.begin() + 10, list.begin() + 30);
  list.push_back(list[3]);
  const std::string reordered = OneThreadWalk(expected_rows);
  for (unsigned threads : {1u, 2u, 3u}) {
    for (size_t per_batch : {size_t{1}, size_t{3}, size_t{64}}) {
      uint64_t rows = 0;
      size_t batches = 0;
      EXPECT_EQ(Batches({threads, per_batch}, rows, &batches), reordered)
          << threads << " threads, " << per_batch << " pages a batch";
      EXPECT_EQ(rows, expected_rows);
      EXPECT_EQ(batches, (list.size() + per_batch - 1) / per_batch);
    }
  }
  // A sink that stops ends the walk.
  for (unsigned threads : {1u, 2u}) {
    size_t calls = 0;
    std::string text;
    EXPECT_FALSE(ForEachTableRowBatch(
        *db_, VersionSetting::kSql2005, kTable, Join,
        [&](const std::string& t, uint64_t) {
          text += t;
          return ++calls < 2;
        },
        {threads, 4}));
    EXPECT_EQ(calls, 2u);
    // Two batches of four pages: page 7 is the last written, page 8 never.
    EXPECT_NE(text.find("\n70|"), std::string::npos);
    EXPECT_EQ(text.find("\n80|"), std::string::npos);
  }
  // A table without pages, or of an unknown version, fails.
  EXPECT_FALSE(ForEachTableRowBatch(*db_, VersionSetting::kSql2005, 12345, Join,
                                    [](const std::string&, uint64_t) { return true; }));
  EXPECT_FALSE(ForEachTableRowBatch(*db_, VersionSetting::kNone, kTable, Join,
                                    [](const std::string&, uint64_t) { return true; }));
}

TEST_F(TableRowBatchesTest, MessagesOfBadPagesArriveInListOrder) {
  // Two pages whose compression information has an unknown bit, after the
  // plain pages: each is skipped with its message, whichever thread read it.
  std::vector<Bytes> bad;
  for (int i = 0; i < 2; ++i) {
    CdPageBuilder page(0);
    page.CiHeader(0x02 | 0x08);
    page.Anchor(CdRecordBuilder().Null().Null().Null().Build());
    page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(1)).Null().Null().Build());
    bad.push_back(page.Build());
  }
  Build(12, bad);
  uint64_t expected_rows = 0;
  const std::string expected = OneThreadWalk(expected_rows);
  EXPECT_EQ(expected_rows, 12u / 5 * 15 + 3);  // none of the bad pages' rows
  const std::vector<EngineNotice> expected_notices = messages_.notices;
  ASSERT_EQ(expected_notices, std::vector<EngineNotice>(2, EngineNotice::kCompressedPageUnreadable));
  messages_.notices.clear();
  uint64_t rows = 0;
  EXPECT_EQ(Batches({2, 1}, rows), expected);
  EXPECT_EQ(messages_.notices, expected_notices);
}

std::string TypedText(const std::vector<TypedValue>& values) {
  std::string out;
  for (const TypedValue& v : values)
    out += std::to_string(static_cast<int>(v.kind)) + ":" + std::to_string(v.integer) + ":" +
           v.text + ":" + std::to_string(v.bytes.size()) + "|";
  return out + "\n";
}

TEST_F(TableRowBatchesTest, TypedRowsInBatchesAreTheOneThreadRowsWithTheSameCounts) {
  Build(30);
  std::vector<uint64_t>& list = db_->dataPageLists[kTable];
  list.push_back(list[5]);  // named twice: read once
  std::string expected;
  TypedTableStats expected_stats;
  ASSERT_TRUE(ForEachTypedRow(
      *db_, VersionSetting::kSql2005, kTable,
      [&](const std::vector<TypedValue>& v) {
        expected += TypedText(v);
        return true;
      },
      expected_stats));
  ASSERT_EQ(expected_stats.pagesRepeated, 1u);
  EXPECT_EQ(expected_stats.rows, 30u / 5 * 15);
  for (unsigned threads : {1u, 2u, 3u}) {
    std::string text;
    TypedTableStats stats;
    uint64_t last_done = 0, calls = 0, rows = 0;
    TypedRowFormatter format = [](const std::vector<TypedValue>& v, std::string& out) {
      out += TypedText(v);
    };
    ASSERT_TRUE(ForEachTypedRowBatch(
        *db_, VersionSetting::kSql2005, kTable, format,
        [&](const TypedRowBatch& batch) {
          text += batch.text;
          rows += batch.rowCount;
          return true;
        },
        stats,
        [&](uint64_t done, uint64_t total) {
          EXPECT_GT(done, last_done);
          EXPECT_EQ(total, list.size());
          last_done = done;
          ++calls;
        },
        {threads, 4}));
    EXPECT_EQ(text, expected) << threads << " threads";
    EXPECT_EQ(stats.rows, expected_stats.rows);
    EXPECT_EQ(rows, expected_stats.rows);
    EXPECT_EQ(stats.pages, expected_stats.pages);
    EXPECT_EQ(stats.pagesRepeated, 1u);
    EXPECT_EQ(stats.pagesSkipped, expected_stats.pagesSkipped);
    EXPECT_EQ(last_done, list.size());
    EXPECT_EQ(calls, 9u);  // eight batches of the 30 pages read, then the repeated entry
  }
  // A sink that stops ends the walk.
  TypedTableStats stats;
  size_t batches = 0;
  EXPECT_FALSE(ForEachTypedRowBatch(
      *db_, VersionSetting::kSql2005, kTable, [](const auto&, std::string&) {},
      [&](const TypedRowBatch&) { return ++batches < 2; }, stats, {}, {2, 4}));
  EXPECT_EQ(batches, 2u);
}

}  // namespace
}  // namespace tollamer
