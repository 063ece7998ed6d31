#include "engine/catalog/name_decoding.h"

#include <gtest/gtest.h>

#include "tests/fixtures/page_builder.h"

namespace tollamer {
namespace {

TEST(NameDecodingTest, RemovesEveryBlankWhereverItStands) {
  fixtures::Bytes name = fixtures::Utf16(" Unit Price ");
  EXPECT_EQ(DecodeName(name), "UnitPrice");
  EXPECT_EQ(DecodeName(fixtures::Utf16("Order Details")), "OrderDetails");
}

TEST(NameDecodingTest, NonAsciiNamesBecomeUtf8) {
  EXPECT_EQ(DecodeName(fixtures::Utf16("学生 表")), "学生表");
  EXPECT_EQ(DecodeName(fixtures::Utf16("Café")), "Café") << "U+00E9 is not a raw byte";
  EXPECT_EQ(DecodeName({}), "");
}

}  // namespace
}  // namespace tollamer
