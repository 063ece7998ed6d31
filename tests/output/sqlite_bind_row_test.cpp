// Rows packed for SQLite's binds: every kind read back as it went in, and a
// cut buffer never read past.
#include "output/sqlite_bind_row.h"

#include <gtest/gtest.h>

#include "engine/values/value_format.h"

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
  const TypedDateTime when{.year = 2024, .month = 2, .day = 29, .hour = 13, .minute = 5,
                           .second = 9, .fraction = 123, .fractionDigits = 3};
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
    if (!expected[i].bytes.empty() || v[i].tag == T::kText) {
      EXPECT_EQ(v[i].bytes, expected[i].bytes) << i;
    }
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
  EXPECT_EQ(ReadAll(packed.substr(0, 9 + 9)).size(), 1u);
}

}  // namespace
}  // namespace tollamer
