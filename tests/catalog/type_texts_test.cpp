// The texts the catalog gives names and types: blank-free UTF-8 names,
// size and NULL texts, and the code page of each collation.
#include "engine/catalog/type_texts.h"

#include <gtest/gtest.h>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/collation.h"
#include "engine/catalog/name_decoding.h"
#include "engine/values/value_types.h"
#include "tests/fixtures/page_builder.h"

namespace tollamer {
namespace {

using namespace value_type;

// The texts the catalog tests do not reach (they check nvarchar, varchar(max),
// decimal, int and user types of varchar and decimal through whole files).
TEST(TypeTextsTest, SizeAndNullTexts) {
  EXPECT_EQ(ColumnSizeText({kNChar, kNChar, 21}), "(10)") << "halved by integer division";
  EXPECT_EQ(ColumnSizeText({kNVarChar, kNVarChar, kMaxLength}), "(max)");
  EXPECT_EQ(ColumnSizeText({kNumeric, kNumeric, 5, 4, 0}), "(4,0)");
  EXPECT_EQ(ColumnSizeText({kBinary, kBinary, 16}), "(16)");
  EXPECT_EQ(ColumnSizeText({56, 56, 4}, {56}), "(4)") << "int has one when the builder accepts its id";
  EXPECT_EQ(UserTypeBaseText("int", {56, 258, 4}), "int");
  EXPECT_EQ(ColumnNullText(0xFE), " NULL") << "only bit 0 counts";
  EXPECT_EQ(UserTypeNullText(3), "NOT NULL") << "only bit 0 counts";
}

// Collation ids as the files keep them, and the code page each gives.
TEST(CollationTest, CodePagesOfCollationIds) {
  const std::pair<uint32_t, uint16_t> cases[] = {
      {0x3400D008, 1252},   // SQL_Latin1_General_CP1_CI_AS (pubs, most files)
      {0x0000D008, 1252},   // Latin1_General_CI_AS (pubs-sql2008)
      {0x00001008, 1252},   // Latin1_General_CI_AS_KS_WS (system columns)
      {0x00010008, 1252},   // Latin1_General_BIN
      {0x0000D003, 950},    // Chinese_Taiwan_Stroke_CI_AS (school-sql2016)
      {0x0000F001, 1256},   // Arabic_CI_AI (northwind-custom-sql2014)
      {0x0000D00B, 1252},   // French_CI_AS (entrepot-sql2008r2)
      {0x0000D002, 936},    // Chinese_PRC_CI_AS
      {0x0000D007, 1253},   // Greek_CI_AS
      {0x2000D008, 437},    // SQL_Latin1_General_CP437_CI_AS (sort order 32)
      {0x2A00D008, 850},    // SQL_Latin1_General_CP850_CI_AS (42)
      {0x5200D008, 1250},   // SQL_Latin1_General_CP1250_CI_AS (82)
      {0x6A00D008, 1251},   // SQL_Latin1_General_CP1251_CI_AS (106)
      {0x9A00D008, 1257},   // SQL_Latin1_General_CP1257_CI_AS (154)
      {0xC100D008, 932},    // Japanese_CI_AS as a sort order (193)
      {0xC700D008, 936},    // Chinese_PRC_CI_AS as a sort order (199)
      {0xCD00D008, 874},    // Thai_CI_AS as a sort order (205)
      {0x0014D008, 65001},  // a _UTF8 collation
      {0x0000D0FF, 0},      // a locale index not known here
      {0xFF00D008, 0},      // a sort order not known here
      {0, 0},
  };
  for (const auto& [id, code_page] : cases) EXPECT_EQ(CodePageOfCollation(id), code_page) << std::hex << id;
}

TEST(CollationTest, ColumnsWithoutAKnownCollationTakeTheDatabaseDefault) {
  Catalog c;
  TableInfo& t = c.tables[1];
  auto add = [&](uint16_t colid, uint8_t xtype, uint32_t collation) {
    t.columns[colid] = {.xtype = xtype, .colid = colid, .collationId = collation};
  };
  add(1, value_type::kVarChar, 0x0000D002);
  add(2, value_type::kChar, 0);
  add(3, value_type::kText, 0x0000D0FF);
  add(4, value_type::kNVarChar, 0x0000D002);
  ResolveColumnCodePages(c, 950);
  EXPECT_EQ(t.columns[1].codePage, 936);
  EXPECT_EQ(t.columns[2].codePage, 950);
  EXPECT_EQ(t.columns[3].codePage, 950);
  EXPECT_EQ(t.columns[4].codePage, 0) << "UTF-16 columns need no code page";
}

TEST(NameDecodingTest, KeepsNamesAsStoredInUtf8) {
  EXPECT_EQ(DecodeName(fixtures::Utf16(" Unit Price ")), " Unit Price ");
  EXPECT_EQ(DecodeName(fixtures::Utf16("学生 表")), "学生 表");
  EXPECT_EQ(DecodeName(fixtures::Utf16("Café")), "Café") << "U+00E9 is not a raw byte";
  EXPECT_EQ(DecodeName({}), "");
}

}  // namespace
}  // namespace tollamer
