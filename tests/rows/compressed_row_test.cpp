// Compressed records decoded: every type's short and long values, the
// compression information of page-compressed pages (anchor record and
// dictionary), off-row and text-pointer values, and rejected records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/pagestore/page_layout.h"
#include "engine/rows/compressed_row.h"
#include "engine/rows/table_rows_text.h"
#include "engine/values/value_types.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/values/lob_test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::CdPageBuilder;
using fixtures::CdRecordBuilder;
using fixtures::CompressedIntBytes;
using page_layout::kPageSize;
using page_layout::PageType;
using testing::Ascii;
using Row = std::vector<std::string>;
namespace vt = value_type;

constexpr uint16_t kAt = 96;

struct Col {
  uint8_t xtype;
  uint16_t length = 0;
  uint8_t prec = 0;
  uint8_t scale = 0;
  uint16_t codePage = 0;
};

std::map<uint16_t, ColumnInfo> Columns(std::initializer_list<Col> cols) {
  std::map<uint16_t, ColumnInfo> out;
  uint16_t id = 1;
  for (const Col& c : cols) {
    out[id] = {.xtype = c.xtype, .xprec = c.prec, .xscale = c.scale, .length = c.length,
               .colid = id, .codePage = c.codePage};
    ++id;
  }
  return out;
}

// The grid texts of the compressed record at `at` of `page`.
std::optional<Row> GridTexts(ByteView page, size_t at, const std::map<uint16_t, ColumnInfo>& columns,
                             const AnchorEntries& anchor, const DictionaryEntries& dictionary,
                             const PageStore& store, EngineMessages& messages) {
  auto values = DecodeCompressedTyped(page, at, columns, anchor, dictionary, store,
                                      fixtures::CompressedTraits(), messages);
  Row row;
  if (values) SetCompressedGridTexts(std::move(*values), columns, row);
  return values ? std::optional(row) : std::nullopt;
}

// A row-compressed page: no compression information, the record at 96.
class RowPage {
 public:
  explicit RowPage(const Bytes& record, size_t at = kAt)
      : page_(fixtures::PageWithRecord(record, at)), at_(at) {}
  std::optional<Row> Decode(const std::map<uint16_t, ColumnInfo>& columns,
                            const PageStore* store = nullptr) {
    return GridTexts(ByteView(page_), at_, columns, {}, {}, store ? *store : store_, messages_);
  }
  RecordingMessages messages_;
  Bytes page_;
  size_t at_;
  PageStore store_{messages_};
};

// A typed value as "kind:value".
std::string Describe(const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: return "null";
    case TypedKind::kInteger: return "int:" + std::to_string(v.integer);
    case TypedKind::kMoney: return "money:" + std::to_string(v.integer);
    case TypedKind::kFloat: return "float:" + FloatText(v);
    case TypedKind::kDecimal: return "dec:" + v.text;
    case TypedKind::kDateTime: return "time:" + IsoDateTimeText(v.time);
    case TypedKind::kText: return "text:" + v.text;
    case TypedKind::kBytes: return "bytes:" + HexDigits(v.bytes);
    case TypedKind::kGuid: return "guid:" + GuidText(v.bytes);
  }
  return "?";
}

// One compressed value of each kind, as the grid shows it (widened to the
// stored form and through the ordinary formatter, texts in their column's
// code page) and as its typed value (the complete stored value: exact
// floats, text without pad blanks, the zero of an empty number).
TEST(CompressedRecordTest, EveryTypeAsGridTextAndTypedValue) {
  const Bytes empty = CdRecordBuilder().Empty().Build();
  auto s = [](const Bytes& b) { return CdRecordBuilder().Short(b).Build(); };
  Bytes third(8);
  const double value = 1.0 / 3;
  std::memcpy(third.data(), &value, 8);
  // Day count 36523 in the high 32 bits, 90 minutes of ticks in the low.
  const int64_t packed = (int64_t{36523} << 32) | (90 * 60 * 300);
  const Bytes guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                      0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  const std::string text = "a value longer than eight bytes";
  const struct {
    Bytes record;
    Col col;
    std::string grid, typed;
  } cases[] = {
      {CdRecordBuilder().Null().Build(), {vt::kBit}, "NULL", "null"},
      {CdRecordBuilder().BitOne().Build(), {vt::kBit}, "1", "int:1"},
      {CdRecordBuilder().Raw(14, {}).Build(), {vt::kInt}, "", "null"},  // codes 13-15: nothing
      {empty, {vt::kInt}, "0", "int:0"},
      {empty, {vt::kBit}, "0", "int:0"},
      {empty, {vt::kSmallInt}, "", "int:0"},
      {empty, {vt::kNumeric, 9, 10, 2}, "0", "dec:0"},
      {empty, {vt::kNVarChar, 20}, "", "text:"},
      {s({0x80, 0x05}), {vt::kInt}, "5", "int:5"},
      {s({0x7F}), {vt::kSmallInt}, "-1", "int:-1"},
      {s({0xC8}), {vt::kTinyInt}, "200", "int:200"},
      {s(CompressedIntBytes(-9223372036854775807LL - 1)), {vt::kBigInt},
       "-9223372036854775808", "int:-9223372036854775808"},
      {s(CompressedIntBytes(-15000)), {vt::kMoney}, "-1.5000", "money:-15000"},
      {s(CompressedIntBytes(250000)), {vt::kSmallMoney}, "25.0000", "money:250000"},
      {s(CompressedIntBytes(packed)), {vt::kDateTime}, "1999-12-31 01:30:00.000",
       "time:1999-12-31 01:30:00.000"},
      // smalldatetime: 4 bytes are minutes and days; 2 bytes the days alone.
      {s({0x5A, 0x00, 0xAB, 0x8E}), {vt::kSmallDateTime}, "1999-12-31 01:30:00",
       "time:1999-12-31 01:30:00"},
      {s({0xAB, 0x8E}), {vt::kSmallDateTime}, "1999-12-31 00:00:00", "time:1999-12-31 00:00:00"},
      {s({0x00, 0x00, 0x00}), {vt::kDate, 3}, "0001-01-01", "time:0001-01-01"},
      // 1.5f is 0x3FC00000: its two zero low-order bytes are dropped.
      {s({0xC0, 0x3F}), {vt::kReal}, "1.500000", "float:1.5"},
      {s(third), {vt::kFloat}, "0.333333", "float:0.3333333333333333"},
      {s({0xC1, 0x1E, 0xC0}), {vt::kDecimal, 9, 10, 4}, "12.3000", "dec:12.3000"},
      {s(Ascii("ab  ")), {vt::kChar, 10}, "ab  ", "text:ab"},
      {s({0xD6, 0xD0, 0xCE, 0xC4}), {vt::kVarChar, 10, 0, 0, 936}, "中文", "text:中文"},
      {s({0xA4, 0xA4, 0xA4, 0xE5}), {vt::kChar, 4, 0, 0, 950}, "中文", "text:中文"},
      {s({'M', 0xFC}), {vt::kVarChar, 10}, "Mü", "text:Mü"},
      {s(fixtures::Utf16("hi")), {vt::kNChar, 10}, "hi", "text:hi"},
      {s(fixtures::Utf16("中文")), {vt::kNVarChar, 10}, "中文", "text:中文"},
      {s({0x00, 0xFF, 0x10}), {vt::kBinary, 3}, "0x00FF10", "bytes:00FF10"},
      {s({0x01}), {vt::kSqlVariant}, "NULL", "null"},
      {s({0x01}), {vt::kBit}, "", "null"},
      {CdRecordBuilder().Long(Ascii(text)).Build(), {vt::kVarChar, 100}, text, "text:" + text},
      // In-row xml tokens: an element "root" without content.
      {CdRecordBuilder().Long({0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 4, 'r', 0, 'o', 0, 'o', 0, 't',
                               0, 0xEF, 0, 0, 1, 0xF8, 1, 0xF7}).Build(),
       {vt::kXml, 0xFFFF}, "<root />", "text:<root />"},
      {CdRecordBuilder().Long(guid).Build(), {vt::kUniqueIdentifier, 16},
       "00112233-4455-6677-8899-AABBCCDDEEFF", "guid:00112233-4455-6677-8899-AABBCCDDEEFF"},
  };
  for (const auto& c : cases) {
    RowPage page(c.record);
    const auto columns = Columns({c.col});
    EXPECT_EQ(page.Decode(columns), Row{c.grid}) << "type " << int{c.col.xtype};
    auto typed = DecodeCompressedTyped(ByteView(page.page_), kAt, columns, {}, {}, page.store_,
                                       fixtures::CompressedTraits(), page.messages_);
    ASSERT_TRUE(typed && typed->size() == 1);
    EXPECT_EQ(Describe(typed->front()), c.typed) << "type " << int{c.col.xtype};
  }
}

// Columns follow the catalog and missing ones are NULL; one CD entry more
// than the columns skips the first, two more do not.
TEST(CompressedRecordTest, ColumnsFollowTheCatalogAndAnExtraFirstEntryIsSkipped) {
  RowPage short_row(CdRecordBuilder().Short({0x81}).Short(Ascii("hey")).Build());
  EXPECT_EQ(short_row.Decode(Columns({{vt::kInt}, {vt::kVarChar, 20}, {vt::kInt}})),
            (Row{"1", "hey", "NULL"}));
  const auto columns = Columns({{vt::kInt}, {vt::kVarChar, 20}});
  RowPage page(CdRecordBuilder().Short({0x99}).Short({0x81}).Short(Ascii("b")).Build());
  EXPECT_EQ(page.Decode(columns), (Row{"1", "b"}));
  RowPage two(CdRecordBuilder().Short({0x82}).Short(Ascii("a")).Short({1}).Short({2}).Build());
  EXPECT_EQ(two.Decode(columns), (Row{"2", "a"}));
}

TEST(CompressedRecordTest, RejectedRecords) {
  const auto columns = Columns({{vt::kVarChar, 500}});
  // Headers above 63.
  for (uint8_t header : {0x41, 0x81})
    EXPECT_EQ(RowPage(CdRecordBuilder().Short({1}).Header(header).Build()).Decode(columns),
              std::nullopt);
  // A long value running past byte 8192.
  EXPECT_EQ(RowPage(CdRecordBuilder().Long(Bytes(300, 'z')).Build(), kPageSize - 100).Decode(columns),
            std::nullopt);
  // A short value whose last byte would be the page's last: the length
  // field (bytes + 1) must fit as well.
  const Bytes four = CdRecordBuilder().Short(Ascii("wxyz")).Build();
  EXPECT_EQ(RowPage(four, kPageSize - four.size()).Decode(columns), std::nullopt);
  EXPECT_TRUE(RowPage(four, kPageSize - four.size() - 1).Decode(columns));
  // A record offset outside the page.
  RecordingMessages messages;
  PageStore store(messages);
  EXPECT_EQ(GridTexts(ByteView(Bytes(kPageSize, 0)), kPageSize, columns, {}, {}, store, messages),
            std::nullopt);
}

TEST(CompressedRecordTest, ABrokenLongRegionHeaderIsReportedAndDecodingGoesOn) {
  const auto columns = Columns({{vt::kInt}, {vt::kVarChar, 100}});
  RowPage page(CdRecordBuilder().Short({0x83}).Long(Ascii("long text")).LongHeader(7).Build());
  EXPECT_EQ(page.Decode(columns), (Row{"3", "long text"}));
  EXPECT_EQ(page.messages_.notices, std::vector<EngineNotice>{EngineNotice::kLongRegionMissing});
}

// Page compression: anchor prefixes and page symbols.
TEST(PageCompressedTest, AnchorPrefixesAndPageSymbols) {
  RecordingMessages messages;
  PageStore store(messages);
  // `record` decoded on a page of `anchor` (if any) and `symbols`.
  auto decode = [&](std::optional<Bytes> anchor, const std::vector<Bytes>& symbols,
                    const Bytes& record, const std::map<uint16_t, ColumnInfo>& columns) {
    CdPageBuilder b(300);
    if (anchor) b.Anchor(*anchor);
    if (!symbols.empty()) b.Dictionary(symbols);
    const uint16_t at = b.AddRecord(record);
    const Bytes bytes = b.Build();
    const ByteView page(bytes);
    const auto info = ReadCompressionInfoHeader(page);
    EXPECT_TRUE(info);
    auto entries = anchor ? ParseAnchorRecord(page, info->anchorRecordOffset, columns, messages)
                          : AnchorEntries{};
    EXPECT_TRUE(entries);
    const DictionaryEntries dictionary =
        symbols.empty() ? DictionaryEntries{} : ParseDictionary(page, info->dictionaryOffset);
    return GridTexts(page, at, columns, entries.value_or(AnchorEntries{}), dictionary, store,
                     messages);
  };
  // A page symbol after a three-byte anchor prefix; column 1 has a NULL
  // anchor, so its symbol is taken whole.
  EXPECT_EQ(decode(CdRecordBuilder().Short(Ascii("abcdef")).Null().Build(),
                   {Ascii("unused"), Bytes{0x03, 'x', 'y'}},
                   CdRecordBuilder().Symbol(1).Symbol(0).Build(),
                   Columns({{vt::kVarChar, 50}, {vt::kVarChar, 50}})),
            (Row{"abcxy", "unused"}));
  // A prefix of 3 and "Z"; the anchor's int itself; a prefix longer than
  // the anchor value takes the anchor value whole.
  EXPECT_EQ(decode(CdRecordBuilder().Short(Ascii("prefix")).Short({0x80, 0x07}).Short(Ascii("ab"))
                       .Build(),
                   {}, CdRecordBuilder().Short({0x03, 'Z'}).Empty().Short({0x09, '!'}).Build(),
                   Columns({{vt::kVarChar, 50}, {vt::kInt}, {vt::kVarChar, 50}})),
            (Row{"preZ", "7", "ab!"}));
  // A symbol of the dictionary, and one it lacks: empty text.
  const auto int_column = Columns({{vt::kInt}});
  EXPECT_EQ(decode(std::nullopt, {CompressedIntBytes(42)}, CdRecordBuilder().Symbol(0).Build(),
                   int_column),
            (Row{"42"}));
  EXPECT_EQ(decode(std::nullopt, {CompressedIntBytes(42)}, CdRecordBuilder().Symbol(5).Build(),
                   int_column),
            (Row{""}));
}

TEST(CompressionInfoTest, FieldsFollowTheHeaderAsTheBitsSay) {
  // Anchor only, dictionary only, both: the dictionary follows the anchor
  // record, or else the one field.
  for (int parts : {1, 2, 3}) {
    CdPageBuilder b(100);
    if (parts & 1) b.Anchor(CdRecordBuilder().Short(Ascii("abc")).Build());
    if (parts & 2) b.Dictionary({Ascii("x"), Ascii("yz")});
    const auto info = ReadCompressionInfoHeader(ByteView(b.Build()));
    ASSERT_TRUE(info) << parts;
    EXPECT_EQ(info->hasAnchor, (parts & 1) != 0);
    EXPECT_EQ(info->hasDictionary, (parts & 2) != 0);
    if (parts != 2) {
      EXPECT_EQ(info->anchorRecordOffset, parts == 3 ? 7u : 5u);
    }
    if (parts != 1) {
      EXPECT_EQ(info->dictionaryOffset, parts == 3 ? b.DictionaryOffset() : 5u);
    }
  }
  // Unknown header bits are rejected.
  for (uint8_t header : {0x01, 0x08, 0x86, 0xFF}) {
    CdPageBuilder b(100);
    b.Dictionary({Ascii("x")}).CiHeader(header);
    EXPECT_EQ(ReadCompressionInfoHeader(ByteView(b.Build())), std::nullopt) << int{header};
  }
}

TEST(AnchorRecordTest, EntriesGivePageOffsetsAndLengthFieldsAndBrokenAnchorsAreRejected) {
  RecordingMessages messages;
  CdPageBuilder b(100);
  b.Anchor(CdRecordBuilder().Short(Ascii("abcdef")).Null().Long(Ascii("a long prefix")).Build());
  const Bytes page = b.Build();
  // A fourth column the anchor does not store gets no entry.
  const auto entries = ParseAnchorRecord(
      ByteView(page), b.AnchorOffset(),
      Columns({{vt::kVarChar}, {vt::kVarChar}, {vt::kVarChar}, {vt::kVarChar}}), messages);
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

  const auto varchar = Columns({{vt::kVarChar}});
  auto parse = [&](const Bytes& anchor) {
    CdPageBuilder other(100);
    other.Anchor(anchor);
    return ParseAnchorRecord(ByteView(other.Build()), other.AnchorOffset(), varchar, messages);
  };
  EXPECT_EQ(parse(CdRecordBuilder().Short(Ascii("ab")).Header(0x41).Build()), std::nullopt);
  // A long anchor value whose end offset points past the page.
  Bytes anchor = CdRecordBuilder().Long(Ascii("abc")).Build();
  const size_t end_offset = 1 + 1 + 1 + 3;  // header, count, CD, region header + count
  anchor[end_offset] = 0x00;
  anchor[end_offset + 1] = 0x7F;
  EXPECT_EQ(parse(anchor), std::nullopt);
  EXPECT_TRUE(messages.Quiet());
  // Broken long-region header: the message, then the entries.
  EXPECT_TRUE(parse(CdRecordBuilder().Long(Ascii("abc")).LongHeader(9).Build()));
  EXPECT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kLongRegionMissing});
  // An anchor offset beyond the page.
  EXPECT_EQ(ParseAnchorRecord(ByteView(Bytes(kPageSize, 0)), kPageSize, varchar, messages), std::nullopt);
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

// Off-row max values through their in-row pointer (the complex flag set),
// and text, ntext and image through the text pointer.
TEST(CompressedRecordTest, ComplexLongValuesAndTextPointersAreRead) {
  using fixtures::LobDataFragment;
  using fixtures::LobSmallRoot;
  using fixtures::TextPointerBytes;
  testing::LobFile file;
  file.SetPage(10, fixtures::LobPage(PageType::kTextMix, 10,
                                     {LobDataFragment(7, Ascii("off-row ")),
                                      LobDataFragment(7, fixtures::Utf16("宽字符")),
                                      LobDataFragment(7, Bytes(900, 'v'))}));
  file.SetPage(11, fixtures::LobPage(PageType::kTextMix, 11,
                                     {LobSmallRoot(8, Ascii("text value")),
                                      LobSmallRoot(9, fixtures::Utf16("ntext value")),
                                      LobSmallRoot(10, Bytes{0xDE, 0xAD, 0xBE, 0xEF})}));
  const PageStore& store = file.Open();
  auto ptr = [](uint32_t length, uint16_t slot) {
    return fixtures::InRowLobPointer(0, {{length, 10, slot}});
  };
  std::string cut = "0x";  // 900 bytes of "v", cut to 800
  for (int i = 0; i < 800; ++i) cut += "76";
  RowPage off_row(CdRecordBuilder().Long(ptr(8, 0), true).Long(ptr(6, 1), true)
                      .Long(ptr(900, 2), true).Long(Ascii("in-row")).Build());
  EXPECT_EQ(off_row.Decode(Columns({{vt::kVarChar, 0xFFFF}, {vt::kNVarChar, 0xFFFF},
                                    {vt::kVarBinary, 0xFFFF}, {vt::kVarChar, 0xFFFF}}),
                           &store),
            (Row{"off-row ", "宽字符", cut, "in-row"}));
  RowPage texts(CdRecordBuilder().Long(TextPointerBytes(11, 0)).Long(TextPointerBytes(11, 1))
                    .Long(TextPointerBytes(11, 2)).Long(TextPointerBytes(0, 1)).Build());
  EXPECT_EQ(texts.Decode(Columns({{vt::kText, 16}, {vt::kNText, 16}, {vt::kImage, 16},
                                  {vt::kNText, 16}}),
                         &store),
            (Row{"text value", "ntext value", "0xDEADBEEF", ""}));
}

}  // namespace
}  // namespace tollamer
