// Large values of compressed records: off-row max values through their
// in-row pointer, text/ntext/image through the text pointer, xml tokens.
#include <gtest/gtest.h>

#include "engine/pagestore/page_layout.h"
#include "engine/rows/compressed_row.h"
#include "engine/rows/table_rows_text.h"
#include "engine/values/value_types.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/values/lob_test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::CdRecordBuilder;
using fixtures::InRowLobPointer;
using fixtures::LobDataFragment;
using fixtures::LobPage;
using fixtures::LobSmallRoot;
using page_layout::kPageSize;
using page_layout::PageType;
using testing::Ascii;
using testing::LobFile;
namespace vt = value_type;

std::map<uint16_t, ColumnInfo> Columns(std::initializer_list<uint8_t> types) {
  std::map<uint16_t, ColumnInfo> out;
  uint16_t id = 1;
  for (uint8_t t : types) {
    ColumnInfo info;
    info.colid = id;
    info.xtype = t;
    info.length = 0xFFFF;
    out[id++] = info;
  }
  return out;
}

std::optional<std::vector<std::string>> Decode(const PageStore& store, const Bytes& record,
                                               const std::map<uint16_t, ColumnInfo>& columns) {
  const Bytes page = fixtures::PageWithRecord(record);
  RecordingMessages messages;
  auto values = DecodeCompressedTyped(ByteView(page), 96, columns, {}, {}, store,
                                      fixtures::CompressedTraits(), messages);
  std::vector<std::string> row;
  if (values) SetCompressedGridTexts(std::move(*values), columns, row);
  return values ? std::optional(row) : std::nullopt;
}

class CompressedLargeValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_.SetPage(10, LobPage(PageType::kTextMix, 10,
                              {LobDataFragment(7, Ascii("off-row ")),
                               LobDataFragment(7, fixtures::Utf16("宽字符")),
                               LobDataFragment(7, Bytes(900, 'v'))}));
    file_.SetPage(11, LobPage(PageType::kTextMix, 11,
                              {LobSmallRoot(8, Ascii("text value")),
                               LobSmallRoot(9, fixtures::Utf16("ntext value")),
                               LobSmallRoot(10, Bytes{0xDE, 0xAD, 0xBE, 0xEF})}));
  }
  LobFile file_{16};
};

TEST_F(CompressedLargeValueTest, ComplexLongValuesAndTextPointersAreRead) {
  const PageStore& store = file_.Open();
  const Bytes varchar_ptr = InRowLobPointer(0, {{8, 10, 0}});
  const Bytes nvarchar_ptr = InRowLobPointer(0, {{6, 10, 1}});
  const Bytes varbinary_ptr = InRowLobPointer(0, {{900, 10, 2}});
  const auto row = Decode(store,
                          CdRecordBuilder().Long(varchar_ptr, true).Long(nvarchar_ptr, true)
                              .Long(varbinary_ptr, true).Long(Ascii("in-row")).Build(),
                          Columns({vt::kVarChar, vt::kNVarChar, vt::kVarBinary, vt::kVarChar}));
  ASSERT_TRUE(row);
  EXPECT_EQ((*row)[0], "off-row ");
  EXPECT_EQ((*row)[1], "宽字符");
  EXPECT_EQ((*row)[2].substr(0, 6), "0x7676");  // "vv", cut to 800 bytes
  EXPECT_EQ((*row)[2].size(), 2u + 2 * 800);
  EXPECT_EQ((*row)[3], "in-row");
  // text, ntext and image through the text pointer.
  const auto texts = Decode(store,
                          CdRecordBuilder().Long(fixtures::TextPointerBytes(11, 0))
                              .Long(fixtures::TextPointerBytes(11, 1))
                              .Long(fixtures::TextPointerBytes(11, 2))
                              .Long(fixtures::TextPointerBytes(0, 1)).Build(),
                          Columns({vt::kText, vt::kNText, vt::kImage, vt::kNText}));
  ASSERT_TRUE(texts);
  EXPECT_EQ(*texts, (std::vector<std::string>{"text value", "ntext value", "0xDEADBEEF", ""}));
}

TEST(CompressedXmlTest, InRowXmlTokensBecomeText) {
  const Bytes xml = {0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 4,    'r', 0,    'o', 0,
                     'o',  0,    't',  0,    0xEF, 0,    0,    1,   0xF8, 1,   0xF7};
  RecordingMessages messages;
  PageStore closed(messages);
  const auto row = Decode(closed, CdRecordBuilder().Long(xml).Build(), Columns({vt::kXml}));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->front(), "<root />");
}

}  // namespace
}  // namespace tollamer
