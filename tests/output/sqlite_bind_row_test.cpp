// Rows packed for SQLite's binds: every kind read back as it went in, a cut
// buffer never read past, and a table sent in batches of uneven sizes
// (several rows per statement, one by one across a transaction's end)
// arrives whole and in order.
#include "output/sqlite_bind_row.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "engine/values/value_format.h"
#include "output/db_import.h"
#include "output/sqlite_target.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

std::vector<BindValue> ReadAll(std::string_view packed, bool* complete = nullptr) {
  BindRowReader reader(packed);
  std::vector<BindValue> out;
  for (BindValue v; reader.Next(v);) out.push_back(v);
  if (complete) *complete = reader.AtEnd();
  return out;
}

TEST(SqliteBindRow, EveryKindKeepsItsStorageClassOrExactText) {
  TypedDateTime when;
  when.year = 2024, when.month = 2, when.day = 29, when.hour = 13, when.minute = 5;
  when.second = 9, when.fraction = 123, when.fractionDigits = 3;
  const std::vector<uint8_t> guid = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                                     1,    2,    3,    4,    5,    6,    7,    8};
  const std::vector<TypedValue> row = {
      TypedValue::Null(),
      TypedValue::Integer(-42),
      TypedValue::Float(0.5),
      TypedValue::Text(std::string("a\0b", 3)),
      TypedValue::Bytes({0, 0xFF}),
      TypedValue::Money(-123400),                   // -12.34
      TypedValue::Money(922337203685477580),
      TypedValue::Decimal("-0.001"),
      TypedValue::DateTime(when),
      TypedValue::Guid(guid),
  };
  std::string packed;
  PackBindRow(row, row.size() + 2, packed);  // two columns the row lacks
  bool complete = false;
  const std::vector<BindValue> v = ReadAll(packed, &complete);
  ASSERT_TRUE(complete);
  ASSERT_EQ(v.size(), row.size() + 2);
  EXPECT_EQ(v[1].integer, -42);
  EXPECT_EQ(v[2].real, 0.5);
  using T = BindTag;
  const struct { T tag; std::string_view bytes; } expected[] = {
      {T::kNull, ""}, {T::kInteger, ""}, {T::kReal, ""}, {T::kText, std::string_view("a\0b", 3)},
      {T::kBlob, std::string_view("\0\xFF", 2)}, {T::kText, "-12.3400"},
      {T::kText, "92233720368547.7580"}, {T::kText, "-0.001"}, {T::kText, "2024-02-29 13:05:09.123"},
      {T::kText, "12345678-9ABC-DEF0-0102-030405060708"}, {T::kNull, ""}, {T::kNull, ""}};
  for (size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i].tag, expected[i].tag) << i;
    if (!expected[i].bytes.empty() || v[i].tag == T::kText) EXPECT_EQ(v[i].bytes, expected[i].bytes) << i;
  }
}

TEST(SqliteBindRow, ACutBufferEndsTheValuesWithoutReadingPastIt) {
  std::string packed;
  PackBindRow({TypedValue::Integer(7), TypedValue::Text("hello"), TypedValue::Float(1.5)}, 3,
              packed);
  for (size_t cut = 0; cut < packed.size(); ++cut) {
    // A copy of exactly `cut` bytes, so that a read past it is caught.
    const std::string part = packed.substr(0, cut);
    bool complete = true;
    const std::vector<BindValue> v = ReadAll(part, &complete);
    EXPECT_LT(v.size(), 3u) << cut;
    EXPECT_EQ(complete, cut == 0 || cut == 9 || cut == 23) << cut;
  }
  // A length larger than what follows is refused.
  std::string lying = packed.substr(0, 9 + 9);
  EXPECT_EQ(ReadAll(lying).size(), 1u);
}

TEST(SqliteImport, RowsSentInUnevenBatchesArriveWholeAndInOrder) {
  testing::TempDir dir;
  const std::string path = dir.File("batches.db");
  std::string error;
  std::unique_ptr<ImportTarget> target = OpenImportTarget("sqlite:" + path, error);
  ASSERT_TRUE(target) << error;
  TableInfo table{.id = 5, .fullName = "dbo.t",
                  .columns = {{1, {"n", "", "", "", value_type::kInt}},
                              {2, {"s", "", "", "", value_type::kVarChar}}}};
  std::string name;
  ASSERT_TRUE(target->BeginTable(table, name)) << target->Error();
  // Batch sizes that leave groups unaligned with the 10,000-row commits.
  constexpr int64_t kRows = 2 * kSqliteRowsPerTransaction + 77;
  int64_t next = 0;
  for (int64_t size : {int64_t{1}, int64_t{49}, int64_t{50}, int64_t{333}, kRows}) {
    std::string batch;
    uint64_t count = 0;
    for (; count < uint64_t(size) && next < kRows; ++count, ++next)
      target->PrepareRow({TypedValue::Integer(next), TypedValue::Text("r" + std::to_string(next))},
                         batch);
    ASSERT_TRUE(target->AddPreparedRows(batch, count)) << target->Error();
  }
  ASSERT_TRUE(target->AddRow({TypedValue::Integer(kRows)})) << target->Error();
  ASSERT_TRUE(target->EndTable()) << target->Error();
  target.reset();

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "SELECT count(*), sum(n = rowid - 1), sum(s = 'r' || n), "
                               "sum(s IS NULL) FROM dbo_t",
                               -1, &st, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int64(st, 0), kRows + 1);
  EXPECT_EQ(sqlite3_column_int64(st, 1), kRows + 1) << "rows in the order sent";
  EXPECT_EQ(sqlite3_column_int64(st, 2), kRows);
  EXPECT_EQ(sqlite3_column_int64(st, 3), 1) << "the short row's missing column";
  sqlite3_finalize(st);
  sqlite3_close(db);
}

}  // namespace
}  // namespace tollamer
