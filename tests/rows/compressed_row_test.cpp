#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/pagestore/page_layout.h"
#include "engine/rows/compressed_row.h"
#include "engine/rows/values/value_format.h"
#include "tests/fixtures/cd_record_builder.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::CdPageBuilder;
using fixtures::CdRecordBuilder;
using fixtures::CompressedIntBytes;
using page_layout::kPageSize;
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
    ColumnInfo info;
    info.colid = id;
    info.xtype = c.xtype;
    info.length = c.length;
    info.xprec = c.prec;
    info.xscale = c.scale;
    info.codePage = c.codePage;
    out[id++] = info;
  }
  return out;
}

Bytes Ascii(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A row-compressed page: no compression information, the record at 96.
class RowPage {
 public:
  explicit RowPage(const Bytes& record, size_t at = kAt) : page_(kPageSize, 0), at_(at) {
    for (size_t i = 0; i < record.size() && at + i < kPageSize; ++i) page_[at + i] = record[i];
  }
  std::optional<Row> Decode(const std::map<uint16_t, ColumnInfo>& columns) {
    return DecodeCompressedRecord(ByteView(page_), at_, columns, {}, {}, store_, messages_);
  }
  RecordingMessages messages_;

 private:
  Bytes page_;
  size_t at_;
  PageStore store_{messages_};
};

std::optional<Row> DecodeOne(const Bytes& record, Col col) {
  return RowPage(record).Decode(Columns({col}));
}
std::string One(const Bytes& record, Col col) {
  auto row = DecodeOne(record, col);
  EXPECT_TRUE(row && row->size() == 1);
  return row && !row->empty() ? row->front() : "<no row>";
}
std::string Short(const Bytes& bytes, Col col) { return One(CdRecordBuilder().Short(bytes).Build(), col); }

TEST(DecodeCompressedRecordTest, CodesWithoutBytes) {
  const Bytes empty = CdRecordBuilder().Empty().Build();
  EXPECT_EQ(One(empty, {vt::kInt}), "0");
  EXPECT_EQ(One(empty, {vt::kDecimal, 9, 10, 2}), "0");
  EXPECT_EQ(One(empty, {vt::kNumeric, 9, 10, 2}), "0");
  EXPECT_EQ(One(empty, {vt::kVarChar, 20}), "");
  EXPECT_EQ(One(empty, {vt::kNVarChar, 20}), "");
  EXPECT_EQ(One(CdRecordBuilder().BitOne().Build(), {vt::kBit}), "1");
  EXPECT_EQ(One(empty, {vt::kBit}), "0");
  EXPECT_EQ(One(CdRecordBuilder().Null().Build(), {vt::kBit}), "NULL");
  EXPECT_EQ(One(CdRecordBuilder().Null().Build(), {vt::kVarChar, 20}), "NULL");
  // Codes 13 to 15 mean nothing.
  EXPECT_EQ(One(CdRecordBuilder().Raw(14, {}).Build(), {vt::kInt}), "");
}

TEST(DecodeCompressedRecordTest, IntegerAndMoneyTypesUseTheCompressedInteger) {
  EXPECT_EQ(Short({0x80, 0x05}, {vt::kInt}), "5");
  EXPECT_EQ(Short({0x7F}, {vt::kInt}), "-1");
  EXPECT_EQ(Short({0x7F}, {vt::kSmallInt}), "-1");
  EXPECT_EQ(Short({0xC8}, {vt::kTinyInt}), "200");
  EXPECT_EQ(Short(CompressedIntBytes(5000000000LL), {vt::kBigInt}), "5000000000");
  EXPECT_EQ(Short(CompressedIntBytes(-9223372036854775807LL - 1), {vt::kBigInt}),
            "-9223372036854775808");
  EXPECT_EQ(Short(CompressedIntBytes(12345678), {vt::kMoney}), "1234.5678");
  EXPECT_EQ(Short(CompressedIntBytes(-15000), {vt::kMoney}), "-1.5000");
  EXPECT_EQ(Short(CompressedIntBytes(250000), {vt::kSmallMoney}), "25.0000");
}

TEST(DecodeCompressedRecordTest, DateTimesAreWidenedToTheirStoredForm) {
  // Day count 36523 in the high 32 bits, 90 minutes of ticks in the low.
  const int64_t packed = (int64_t{36523} << 32) | (90 * 60 * 300);
  EXPECT_EQ(Short(CompressedIntBytes(packed), {vt::kDateTime}), "1999-12-31 01:30:00.000");
  // smalldatetime: 4 bytes are minutes and days; 2 bytes the days alone.
  Bytes four(4);
  std::memcpy(four.data(), "\x5A\x00\xAB\x8E", 4);  // 90 minutes, day 36523
  EXPECT_EQ(Short(four, {vt::kSmallDateTime}), "1999-12-31 01:30:00");
  EXPECT_EQ(Short({0xAB, 0x8E}, {vt::kSmallDateTime}), "1999-12-31 00:00:00");
  // date: three bytes of days since 0001-01-01.
  EXPECT_EQ(Short({0x00, 0x00, 0x00}, {vt::kDate, 3}), "0001-01-01");
}

TEST(DecodeCompressedRecordTest, RealAndFloatKeepTheirHighOrderBytes) {
  // 1.5f is 0x3FC00000: its two zero low-order bytes are dropped.
  EXPECT_EQ(Short({0xC0, 0x3F}, {vt::kReal}), "1.500000");
  // 1.0 is 0x3FF0000000000000.
  EXPECT_EQ(Short({0xF0, 0x3F}, {vt::kFloat}), "1.000000");
  Bytes pi(8);
  const double value = 3.25;
  std::memcpy(pi.data(), &value, 8);
  EXPECT_EQ(Short(pi, {vt::kFloat}), "3.250000");
}

TEST(DecodeCompressedRecordTest, DecimalAndTextTypes) {
  EXPECT_EQ(Short({0xC1, 0x1E, 0xC0}, {vt::kDecimal, 9, 10, 4}), "12.3000");
  EXPECT_EQ(Short(Ascii("abc"), {vt::kChar, 10}), "abc");
  EXPECT_EQ(Short(Ascii("abc"), {vt::kVarChar, 10}), "abc");
  // 8-bit text in its column's code page, as in uncompressed records.
  EXPECT_EQ(Short({0xD6, 0xD0, 0xCE, 0xC4}, {vt::kVarChar, 10, 0, 0, 936}), "中文");
  EXPECT_EQ(Short({0xA4, 0xA4, 0xA4, 0xE5}, {vt::kChar, 4, 0, 0, 950}), "中文");
  EXPECT_EQ(Short({'M', 0xFC}, {vt::kVarChar, 10}), "Mü");
  EXPECT_EQ(Short(fixtures::Utf16("hi"), {vt::kNChar, 10}), "hi");
  EXPECT_EQ(Short(fixtures::Utf16("中文"), {vt::kNVarChar, 10}), "中文");
  EXPECT_EQ(Short({0x00, 0xFF, 0x10}, {vt::kBinary, 3}), "0x00FF10");
  EXPECT_EQ(Short({0x01}, {vt::kSqlVariant}), "NULL");
  EXPECT_EQ(Short({0x01}, {vt::kBit}), "");
  // Long values kept in the record.
  const std::string text = "a value longer than eight bytes";
  EXPECT_EQ(One(CdRecordBuilder().Long(Ascii(text)).Build(), {vt::kVarChar, 100}), text);
  const Bytes guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                      0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(One(CdRecordBuilder().Long(guid).Build(), {vt::kUniqueIdentifier, 16}),
            "00112233-4455-6677-8899-AABBCCDDEEFF");
}

// The typed value of one compressed value, as "kind:value".
std::string Typed(const Bytes& record, Col col) {
  RecordingMessages messages;
  PageStore store{messages};
  Bytes page(kPageSize, 0);
  std::copy(record.begin(), record.end(), page.begin() + kAt);
  auto row = DecodeCompressedTyped(ByteView(page), kAt, Columns({col}), {}, {}, store, messages);
  if (!row || row->size() != 1) return "<no row>";
  const TypedValue& v = row->front();
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

// Compressed values become the same typed values as the stored form they
// were compressed from: widened numbers and dates, exact floats, text
// without its pad blanks.
TEST(DecodeCompressedRecordTest, TypedValuesAreTheCompleteStoredValues) {
  const Bytes empty = CdRecordBuilder().Empty().Build();
  auto s = [](const Bytes& b) { return CdRecordBuilder().Short(b).Build(); };
  Bytes float_bytes(8);
  const double third = 1.0 / 3;
  std::memcpy(float_bytes.data(), &third, 8);
  const int64_t packed = (int64_t{36523} << 32) | (90 * 60 * 300);
  const struct {
    Bytes record;
    Col col;
    std::string expected;
  } cases[] = {
      {CdRecordBuilder().Null().Build(), {vt::kInt}, "null"},
      {CdRecordBuilder().BitOne().Build(), {vt::kBit}, "int:1"},
      {CdRecordBuilder().Raw(14, {}).Build(), {vt::kInt}, "null"},
      {empty, {vt::kInt}, "int:0"},
      {empty, {vt::kSmallInt}, "int:0"},
      {empty, {vt::kDecimal, 9, 10, 2}, "dec:0"},
      {empty, {vt::kVarChar, 20}, "text:"},
      {s({0x7F}), {vt::kSmallInt}, "int:-1"},
      {s({0xC8}), {vt::kTinyInt}, "int:200"},
      {s(CompressedIntBytes(-15000)), {vt::kMoney}, "money:-15000"},
      {s(CompressedIntBytes(250000)), {vt::kSmallMoney}, "money:250000"},
      {s(CompressedIntBytes(packed)), {vt::kDateTime}, "time:1999-12-31 01:30:00.000"},
      {s({0xAB, 0x8E}), {vt::kSmallDateTime}, "time:1999-12-31 00:00:00"},
      {s({0x00, 0x00, 0x00}), {vt::kDate, 3}, "time:0001-01-01"},
      {s({0xC0, 0x3F}), {vt::kReal}, "float:1.5"},
      {s(float_bytes), {vt::kFloat}, "float:0.3333333333333333"},
      {s({0xC1, 0x1E, 0xC0}), {vt::kDecimal, 9, 10, 4}, "dec:12.3000"},
      {s(Ascii("ab  ")), {vt::kChar, 10}, "text:ab"},
      {s({0xD6, 0xD0, 0xCE, 0xC4}), {vt::kVarChar, 10, 0, 0, 936}, "text:中文"},
      {s(fixtures::Utf16("hi")), {vt::kNChar, 10}, "text:hi"},
      {s(fixtures::Utf16("中文")), {vt::kNVarChar, 10}, "text:中文"},
      {s({0x00, 0xFF, 0x10}), {vt::kVarBinary, 3}, "bytes:00FF10"},
      {s({0x01}), {vt::kSqlVariant}, "null"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Typed(c.record, c.col), c.expected) << "type " << int{c.col.xtype};
}

TEST(DecodeCompressedRecordTest, ColumnsFollowTheCatalogAndMissingOnesAreNull) {
  const auto columns = Columns({{vt::kInt}, {vt::kVarChar, 20}, {vt::kInt}});
  RowPage page(CdRecordBuilder().Short({0x81}).Short(Ascii("hey")).Build());
  EXPECT_EQ(page.Decode(columns), (Row{"1", "hey", "NULL"}));
}

TEST(DecodeCompressedRecordTest, OneCdEntryMoreThanColumnsSkipsTheFirst) {
  const auto columns = Columns({{vt::kInt}, {vt::kVarChar, 20}});
  RowPage page(CdRecordBuilder().Short({0x99}).Short({0x81}).Short(Ascii("b")).Build());
  EXPECT_EQ(page.Decode(columns), (Row{"1", "b"}));
  // Two more: no skipping.
  RowPage two(CdRecordBuilder().Short({0x82}).Short(Ascii("a")).Short({1}).Short({2}).Build());
  EXPECT_EQ(two.Decode(columns), (Row{"2", "a"}));
}

TEST(DecodeCompressedRecordTest, RejectedRecords) {
  const auto columns = Columns({{vt::kVarChar, 500}});
  // Header above 63.
  EXPECT_EQ(RowPage(CdRecordBuilder().Short({1}).Header(0x41).Build()).Decode(columns),
            std::nullopt);
  EXPECT_EQ(RowPage(CdRecordBuilder().Short({1}).Header(0x81).Build()).Decode(columns),
            std::nullopt);
  // A long value running past byte 8192.
  const Bytes rec = CdRecordBuilder().Long(Bytes(300, 'z')).Build();
  EXPECT_EQ(RowPage(rec, kPageSize - 100).Decode(columns), std::nullopt);
  // A short value whose last byte would be the page's last: the length
  // field (bytes + 1) must fit as well.
  const Bytes four = CdRecordBuilder().Short(Ascii("wxyz")).Build();
  EXPECT_EQ(RowPage(four, kPageSize - four.size()).Decode(columns), std::nullopt);
  EXPECT_TRUE(RowPage(four, kPageSize - four.size() - 1).Decode(columns));
  // A record offset outside the page.
  RecordingMessages messages;
  PageStore store(messages);
  const Bytes page(kPageSize, 0);
  EXPECT_EQ(DecodeCompressedRecord(ByteView(page), kPageSize, columns, {}, {}, store, messages),
            std::nullopt);
}

TEST(DecodeCompressedRecordTest, ABrokenLongRegionHeaderIsReportedAndDecodingGoesOn) {
  const auto columns = Columns({{vt::kInt}, {vt::kVarChar, 100}});
  RowPage page(CdRecordBuilder().Short({0x83}).Long(Ascii("long text")).LongHeader(7).Build());
  EXPECT_EQ(page.Decode(columns), (Row{"3", "long text"}));
  ASSERT_EQ(page.messages_.stops.size(), 1u);
  EXPECT_EQ(page.messages_.stops[0], "长数据区定位错误");
}

// Page compression: anchor prefixes and page symbols.
class PageCompressedTest : public ::testing::Test {
 protected:
  std::optional<Row> Decode(CdPageBuilder& builder, const Bytes& record,
                            const std::map<uint16_t, ColumnInfo>& columns) {
    const uint16_t at = builder.AddRecord(record);
    page_ = builder.Build();
    const ByteView page(page_);
    const auto info = ReadCompressionInfoHeader(page);
    EXPECT_TRUE(info);
    AnchorEntries anchor;
    if (info->hasAnchor) {
      auto parsed = ParseAnchorRecord(page, info->anchorRecordOffset, columns, messages_);
      EXPECT_TRUE(parsed);
      if (parsed) anchor = *parsed;
    }
    DictionaryEntries dictionary;
    if (info->hasDictionary) dictionary = ParseDictionary(page, info->dictionaryOffset);
    return DecodeCompressedRecord(page, at, columns, anchor, dictionary, store_, messages_);
  }

  Bytes page_;
  RecordingMessages messages_;
  PageStore store_{messages_};
};

TEST_F(PageCompressedTest, APageSymbolAfterAThreeByteAnchorPrefix) {
  const auto columns = Columns({{vt::kVarChar, 50}, {vt::kVarChar, 50}});
  CdPageBuilder b(300);
  b.Anchor(CdRecordBuilder().Short(Ascii("abcdef")).Null().Build())
      .Dictionary({Ascii("unused"), Bytes{0x03, 'x', 'y'}});
  // Column 1 has a NULL anchor: its symbol is taken whole.
  const auto row = Decode(b, CdRecordBuilder().Symbol(1).Symbol(0).Build(), columns);
  EXPECT_EQ(row, (Row{"abcxy", "unused"}));
}

TEST_F(PageCompressedTest, ShortValuesAndEmptyValuesWithAnAnchor) {
  const auto columns = Columns({{vt::kVarChar, 50}, {vt::kInt}, {vt::kVarChar, 50}});
  CdPageBuilder b(300);
  b.Anchor(CdRecordBuilder().Short(Ascii("prefix")).Short({0x80, 0x07}).Short(Ascii("ab")).Build());
  // A prefix of 3 and "Z"; the anchor's int itself; a prefix longer than
  // the anchor value takes the anchor value whole.
  const auto row =
      Decode(b, CdRecordBuilder().Short({0x03, 'Z'}).Empty().Short({0x09, '!'}).Build(), columns);
  EXPECT_EQ(row, (Row{"preZ", "7", "ab!"}));
}

TEST_F(PageCompressedTest, MissingSymbolsGiveEmptyText) {
  const auto columns = Columns({{vt::kInt}});
  CdPageBuilder b(300);
  b.Dictionary({CompressedIntBytes(42)});
  EXPECT_EQ(Decode(b, CdRecordBuilder().Symbol(0).Build(), columns), (Row{"42"}));
  CdPageBuilder c(301);
  c.Dictionary({CompressedIntBytes(42)});
  EXPECT_EQ(Decode(c, CdRecordBuilder().Symbol(5).Build(), columns), (Row{""}));
}

}  // namespace
}  // namespace tollamer
