#include <gtest/gtest.h>

#include "engine/pagestore/page_layout.h"
#include "engine/rows/compressed_page_info.h"
#include "tests/fixtures/cd_record_builder.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::CdPageBuilder;
using fixtures::CdRecordBuilder;
using page_layout::kPageSize;

std::map<uint16_t, ColumnInfo> Columns(size_t n) {
  std::map<uint16_t, ColumnInfo> columns;
  for (uint16_t i = 1; i <= n; ++i) {
    ColumnInfo c;
    c.colid = i;
    c.xtype = 167;
    columns[i] = c;
  }
  return columns;
}

Bytes Ascii(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(CompressionInfoTest, FieldsFollowTheHeaderAsTheBitsSay) {
  CdPageBuilder both(100);
  both.Anchor(CdRecordBuilder().Short(Ascii("abc")).Build()).Dictionary({Ascii("x")});
  const Bytes page = both.Build();
  const auto info = ReadCompressionInfoHeader(ByteView(page));
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->hasAnchor);
  EXPECT_TRUE(info->hasDictionary);
  EXPECT_EQ(info->anchorRecordOffset, 7u);
  EXPECT_EQ(info->dictionaryOffset, both.DictionaryOffset());

  CdPageBuilder anchor_only(101);
  anchor_only.Anchor(CdRecordBuilder().Short(Ascii("abc")).Build());
  const Bytes anchor_page = anchor_only.Build();
  const auto a = ReadCompressionInfoHeader(ByteView(anchor_page));
  ASSERT_TRUE(a);
  EXPECT_FALSE(a->hasDictionary);
  EXPECT_EQ(a->anchorRecordOffset, 5u);

  // Without an anchor record the dictionary follows the one field.
  CdPageBuilder dictionary_only(102);
  dictionary_only.Dictionary({Ascii("x"), Ascii("yz")});
  const Bytes dictionary_page = dictionary_only.Build();
  const auto d = ReadCompressionInfoHeader(ByteView(dictionary_page));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->dictionaryOffset, 5u);
  const DictionaryEntries symbols = ParseDictionary(ByteView(dictionary_page), d->dictionaryOffset);
  ASSERT_EQ(symbols.size(), 2u);
  EXPECT_EQ(dictionary_page[symbols.at(1).pageOffset], 'y');
  // Unknown header bits are rejected.
  for (uint8_t header : {0x01, 0x08, 0x86, 0xFF}) {
    CdPageBuilder b(100);
    b.Dictionary({Ascii("x")}).CiHeader(header);
    const Bytes page = b.Build();
    EXPECT_EQ(ReadCompressionInfoHeader(ByteView(page)), std::nullopt) << int{header};
  }
}

TEST(AnchorRecordTest, EntriesGivePageOffsetsAndLengthFieldsOfTheAnchorValues) {
  CdPageBuilder b(100);
  b.Anchor(CdRecordBuilder().Short(Ascii("abcdef")).Null().Long(Ascii("a long prefix")).Build());
  const Bytes page = b.Build();
  RecordingMessages messages;
  // A fourth column the anchor does not store gets no entry.
  const auto entries = ParseAnchorRecord(ByteView(page), b.AnchorOffset(), Columns(4), messages);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  const AnchorEntry& first = entries->at(0);
  EXPECT_EQ(first.lengthField, 7);
  EXPECT_EQ(std::string(page.begin() + first.pageOffset, page.begin() + first.pageOffset + 6),
            "abcdef");
  EXPECT_EQ(entries->at(1).lengthField, 0);
  const AnchorEntry& third = entries->at(2);
  EXPECT_EQ(third.lengthField, 14);
  EXPECT_EQ(page[third.pageOffset], 'a');
  EXPECT_EQ(page[third.pageOffset + 12], 'x');
  EXPECT_TRUE(messages.Quiet());
}

TEST(AnchorRecordTest, RejectedHeadersAndValuesPastThePage) {
  RecordingMessages messages;
  {
    CdPageBuilder b(100);
    b.Anchor(CdRecordBuilder().Short(Ascii("ab")).Header(0x41).Build());
    const Bytes page = b.Build();
    EXPECT_EQ(ParseAnchorRecord(ByteView(page), b.AnchorOffset(), Columns(1), messages),
              std::nullopt);
  }
  {
    // A long anchor value whose end offset points past the page.
    Bytes anchor = CdRecordBuilder().Long(Ascii("abc")).Build();
    const size_t end_offset = 1 + 1 + 1 + 3;  // header, count, CD, region header + count
    anchor[end_offset] = 0x00;
    anchor[end_offset + 1] = 0x7F;
    CdPageBuilder b(100);
    b.Anchor(anchor);
    const Bytes page = b.Build();
    EXPECT_EQ(ParseAnchorRecord(ByteView(page), b.AnchorOffset(), Columns(1), messages),
              std::nullopt);
  }
  {
    // Broken long-region header: the message, then the entries.
    CdPageBuilder b(100);
    b.Anchor(CdRecordBuilder().Long(Ascii("abc")).LongHeader(9).Build());
    const Bytes page = b.Build();
    const auto entries = ParseAnchorRecord(ByteView(page), b.AnchorOffset(), Columns(1), messages);
    EXPECT_TRUE(entries);
    EXPECT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kLongRegionMissing});
  }
  // An anchor offset beyond the page.
  const Bytes empty(kPageSize, 0);
  EXPECT_EQ(ParseAnchorRecord(ByteView(empty), kPageSize, Columns(1), messages), std::nullopt);
}

TEST(DictionaryTest, SymbolsRunFromTheEndOfTheOneBeforeAndBrokenBoundsEndTheList) {
  CdPageBuilder b(100);
  b.Dictionary({Ascii("one"), Ascii(""), Ascii("three")});
  Bytes page = b.Build();
  const DictionaryEntries symbols = ParseDictionary(ByteView(page), b.DictionaryOffset());
  ASSERT_EQ(symbols.size(), 3u);
  // The first symbol starts after the count and the three end offsets.
  EXPECT_EQ(symbols.at(0).pageOffset, 96 + b.DictionaryOffset() + 8);
  EXPECT_EQ(symbols.at(0).length, 3u);
  EXPECT_EQ(symbols.at(1).length, 0u);
  EXPECT_EQ(symbols.at(2).pageOffset, symbols.at(0).pageOffset + 3);
  EXPECT_EQ(std::string(page.begin() + symbols.at(2).pageOffset,
                        page.begin() + symbols.at(2).pageOffset + 5),
            "three");
  // Broken bounds end the list.
  CdPageBuilder broken(100);
  broken.Dictionary({Ascii("aa"), Ascii("bb"), Ascii("cc")});
  page = broken.Build();
  const size_t base = 96 + broken.DictionaryOffset();
  // The second end offset runs backwards.
  fixtures::PutU16(page, base + 4, 1);
  EXPECT_EQ(ParseDictionary(ByteView(page), broken.DictionaryOffset()).size(), 1u);
  // An end offset past the page.
  fixtures::PutU16(page, base + 4, 0xF000);
  EXPECT_EQ(ParseDictionary(ByteView(page), broken.DictionaryOffset()).size(), 1u);
  // A count whose end-offset array alone would leave the page.
  Bytes huge(kPageSize, 0);
  fixtures::PutU16(huge, 96 + 10, 0xFFFF);
  EXPECT_TRUE(ParseDictionary(ByteView(huge), 10).empty());
  // No symbols.
  fixtures::PutU16(huge, 96 + 10, 0);
  EXPECT_TRUE(ParseDictionary(ByteView(huge), 10).empty());
  EXPECT_TRUE(ParseDictionary(ByteView(huge), kPageSize).empty());
}

}  // namespace
}  // namespace tollamer
