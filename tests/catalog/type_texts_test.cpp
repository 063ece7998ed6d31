#include "engine/catalog/type_texts.h"

#include <gtest/gtest.h>

#include "engine/catalog/catalog_model.h"

namespace tollamer {
namespace {

using namespace type_id;

TEST(TypeTextsTest, ColumnSizeTexts) {
  EXPECT_EQ(ColumnSizeText({kNvarchar, kNvarchar, 100}), "(50)");
  EXPECT_EQ(ColumnSizeText({kNchar, kNchar, 21}), "(10)") << "halved by integer division";
  EXPECT_EQ(ColumnSizeText({kVarchar, kVarchar, kMaxLength}), "(max)");
  EXPECT_EQ(ColumnSizeText({kNvarchar, kNvarchar, kMaxLength}), "(max)");
  EXPECT_EQ(ColumnSizeText({kDecimal, kDecimal, 9, 10, 2}), "(10,2)");
  EXPECT_EQ(ColumnSizeText({kNumeric, kNumeric, 5, 4, 0}), "(4,0)");
  EXPECT_EQ(ColumnSizeText({kBinary, kBinary, 16}), "(16)");
  EXPECT_EQ(ColumnSizeText({56, 56, 4}), "") << "int has no size text";
  EXPECT_EQ(ColumnSizeText({56, 56, 4}, {56}), "(4)") << "unless the builder accepts its id";
}

TEST(TypeTextsTest, UserDefinedTypesCarryTheirOwnSize) {
  // A column of user type "id" (xusertype 257) based on varchar(11).
  TypeShape column{kVarchar, 257, 11};
  EXPECT_EQ(ColumnSizeText(column), "");
  EXPECT_EQ(UserTypeBaseText("varchar", column), "varchar(11)");
  EXPECT_EQ(UserTypeBaseText("int", {56, 258, 4}), "int");
}

TEST(TypeTextsTest, NullTexts) {
  EXPECT_EQ(ColumnNullText(1), " NOT NULL");
  EXPECT_EQ(ColumnNullText(0xFE), " NULL");
  EXPECT_EQ(UserTypeNullText(3), "NOT NULL");
  EXPECT_EQ(UserTypeNullText(0), "NULL");
}

}  // namespace
}  // namespace tollamer
