// Compressed records at the byte level: the column descriptor nibbles, the
// short-data clusters, the long-value region, and the compressed number forms.
#include <gtest/gtest.h>

#include <limits>

#include "engine/pagestore/engine_messages.h"
#include "engine/rows/compressed_numbers.h"
#include "engine/pagestore/page_layout.h"
#include "engine/rows/compressed_record.h"
#include "tests/fixtures/cd_record_builder.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::CdRecordBuilder;
using fixtures::CompressedIntBytes;
using page_layout::kPageSize;

constexpr size_t kAt = 200;  // record offset in the page

Bytes PageWith(const Bytes& record, size_t offset = kAt) {
  return fixtures::PageWithRecord(record, offset);
}

CdRecord Open(const Bytes& page, size_t offset = kAt) {
  auto record = CdRecord::Open(ByteView(page), offset);
  EXPECT_TRUE(record.has_value());
  return *record;
}

TEST(CdRecordTest, NibblesLowFirstAndShortValuesInColumnOrder) {
  const Bytes rec = CdRecordBuilder().Short({0x11}).Null().Short({0x21, 0x22, 0x23}).BitOne()
                        .Empty().Symbol(7).Build();
  const Bytes page = PageWith(rec);
  const CdRecord r = Open(page);
  EXPECT_EQ(r.ColumnCount(), 6u);
  EXPECT_EQ(r.CountFieldSize(), 1u);
  EXPECT_EQ(rec[2], 0x02);  // column 0 low nibble 2, column 1 high nibble 0
  EXPECT_EQ(rec[3], 0xB4);  // column 2 code 4, column 3 code 11
  const uint8_t codes[] = {2, 0, 4, 11, 1, 12};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(r.Code(i), codes[i]) << i;
  EXPECT_EQ(r.Code(6), std::nullopt);

  // Short data starts after header, count and three CD bytes.
  ASSERT_EQ(r.ShortDataBase(), 5u);
  const auto c0 = r.Locate(0, std::nullopt);
  const auto c2 = r.Locate(2, std::nullopt);
  const auto c5 = r.Locate(5, std::nullopt);
  ASSERT_TRUE(c0 && c2 && c5);
  EXPECT_EQ(c0->dataOffset, 5u);
  EXPECT_EQ(c0->lengthField, 2);
  EXPECT_EQ(c2->dataOffset, 6u);
  EXPECT_EQ(c2->lengthField, 4);
  EXPECT_EQ(c2->ByteCount(), 3u);
  EXPECT_EQ(c5->dataOffset, 9u);
  EXPECT_EQ(rec[c5->dataOffset], 7);
  // A page symbol is one byte; the bit and the empty value none.
  EXPECT_EQ(c5->lengthField, 2);
  EXPECT_EQ(r.Locate(3, std::nullopt)->lengthField, 1);
  EXPECT_EQ(r.Locate(1, std::nullopt)->lengthField, 0);
}

// Columns past the first thirty are placed through the cluster bytes, one
// per whole cluster of thirty, after the descriptor nibbles.
TEST(CdRecordTest, ClusterBytesPlaceLaterColumnsAndLargeCountsTakeTwoBytes) {
  CdRecordBuilder b;
  for (int i = 0; i < 200; ++i) b.Short({static_cast<uint8_t>(i)});
  Bytes rec = b.Build();
  {
    const Bytes page = PageWith(rec);
    const CdRecord r = Open(page);
    EXPECT_EQ(r.ColumnCount(), 200u);
    EXPECT_EQ(r.CountFieldSize(), 2u);
    // 3 + 100 CD bytes + 6 cluster bytes.
    EXPECT_EQ(r.ShortDataBase(), 109u);
    for (uint32_t i : {0u, 29u, 30u, 150u, 199u}) {
      const auto c = r.Locate(i, std::nullopt);
      ASSERT_TRUE(c) << i;
      EXPECT_EQ(rec[c->dataOffset], i) << i;
      EXPECT_EQ(c->lengthField, 2) << i;
    }
  }
  // The first cluster byte, not the nibbles of the first cluster, places
  // column 30.
  ASSERT_EQ(rec[103], 30);
  rec[103] = 5;
  const Bytes moved = PageWith(rec);
  EXPECT_EQ(Open(moved).Locate(30, std::nullopt)->dataOffset, 109u + 5u);
  EXPECT_EQ(Open(moved).Locate(29, std::nullopt)->dataOffset, 109u + 29u);
  // The 2-byte form is read for small counts as well.
  const Bytes wide = CdRecordBuilder().Short({0x42}).WideCount().Build();
  const Bytes wide_page = PageWith(wide);
  const CdRecord w = Open(wide_page);
  EXPECT_EQ(w.ColumnCount(), 1u);
  EXPECT_EQ(wide[w.Locate(0, std::nullopt)->dataOffset], 0x42);
  // ((0x81 & 0x7F) << 8) + 2
  EXPECT_EQ(Open(PageWith(Bytes{0x01, 0x81, 0x02})).ColumnCount(), 258u);
  // Zero columns have no cluster array.
  const Bytes none = PageWith(Bytes{0x01, 0x00});
  EXPECT_EQ(Open(none).ColumnCount(), 0u);
  EXPECT_EQ(Open(none).ShortDataBase(), 2u);
}

// Long values take their bounds from the end offsets; the complex flag is
// each value's own and does not shift its neighbours.
TEST(CdRecordTest, LongValuesTakeTheirBoundsFromTheEndOffsets) {
  const Bytes rec = CdRecordBuilder().Short({0x01}).Long({'h', 'e', 'l', 'l', 'o'})
                        .Long(Bytes(24, 0xAA), true).Long({'w', 'o', 'r', 'l', 'd', '!'}).Build();
  EXPECT_EQ(rec[0], 0x21);
  const Bytes page = PageWith(rec);
  const CdRecord r = Open(page);
  const auto region = r.LocateLongRegion();
  // 1 + 1 + 2 CD bytes + 1 short byte.
  ASSERT_EQ(region, 5u);
  const auto hello = r.Locate(1, region), complex = r.Locate(2, region), world = r.Locate(3, region);
  ASSERT_TRUE(hello && complex && world);
  // Region header, count, three end offsets, no cluster counts.
  EXPECT_EQ(hello->dataOffset, 5u + 3u + 6u);
  EXPECT_EQ(hello->lengthField, 6);
  EXPECT_FALSE(hello->Complex());
  EXPECT_TRUE(complex->Complex());
  EXPECT_EQ(complex->ByteCount(), 24u);
  EXPECT_EQ(world->dataOffset, hello->dataOffset + 5 + 24);
  EXPECT_EQ(world->lengthField, 7);
  EXPECT_FALSE(world->Complex());
  EXPECT_EQ(r.Locate(1, std::nullopt), std::nullopt);
  // Long values of later clusters count the per-cluster numbers.
  CdRecordBuilder later;
  later.Long({'A'});
  for (int i = 1; i < 31; ++i) later.Null();
  later.Long({'B', 'B'}).Long({'C', 'C', 'C'});
  const Bytes later_rec = later.Build();
  const Bytes later_page = PageWith(later_rec);
  const CdRecord l = Open(later_page);
  const auto later_region = l.LocateLongRegion();
  ASSERT_TRUE(later_region);
  const auto bb = l.Locate(31, later_region), ccc = l.Locate(32, later_region);
  ASSERT_TRUE(bb && ccc);
  EXPECT_EQ(later_rec[bb->dataOffset], 'B');
  EXPECT_EQ(bb->ByteCount(), 2u);
  EXPECT_EQ(later_rec[ccc->dataOffset], 'C');
  EXPECT_EQ(ccc->ByteCount(), 3u);
}

TEST(CdRecordTest, BrokenLongRegionsAndArraysPastThePageEndLocateNothing) {
  Bytes rec = CdRecordBuilder().Long({'x'}).Long({'y'}).Build();
  // Claim a single long value: the second has no end offset of its own.
  const size_t region = 3;
  rec[region + 1] = 1;
  {
    const Bytes page = PageWith(rec);
    const CdRecord r = Open(page);
    ASSERT_EQ(r.LocateLongRegion(), region);
    EXPECT_TRUE(r.Locate(0, region));
    EXPECT_EQ(r.Locate(1, region), std::nullopt);
  }
  // End offsets running backwards.
  Bytes backwards = CdRecordBuilder().Long({'x', 'x', 'x'}).Long({'y'}).Build();
  backwards[region + 5] = 1;  // second end offset 1 < first end offset 3
  backwards[region + 6] = 0;
  EXPECT_EQ(Open(PageWith(backwards)).Locate(1, region), std::nullopt);
  // Arrays past the page end locate nothing.
  CdRecordBuilder b;
  for (int i = 0; i < 100; ++i) b.Short({1});
  // Only header, count and a few CD bytes fit.
  const size_t at = kPageSize - 8;
  const Bytes page = PageWith(b.Build(), at);
  const CdRecord r = Open(page, at);
  EXPECT_EQ(r.ColumnCount(), 100u);
  EXPECT_TRUE(r.Code(0));
  EXPECT_EQ(r.Code(99), std::nullopt);
  EXPECT_EQ(r.Locate(99, std::nullopt), std::nullopt);
  EXPECT_EQ(r.LocateLongRegion(), std::nullopt);
  EXPECT_EQ(CdRecord::Open(ByteView(page), kPageSize - 1), std::nullopt);
  EXPECT_EQ(CdRecord::Open(ByteView(page), kPageSize), std::nullopt);
}

TEST(CdRecordTest, TheLongRegionMessageComesOnlyForAnAnnouncedBrokenRegion) {
  const Bytes announced_cut = CdRecordBuilder().Short({1, 2, 3, 4}).Header(0x21).Build();
  const struct {
    Bytes record;
    size_t at;
    size_t notices;
  } cases[] = {
      {CdRecordBuilder().Long({'x'}).Build(), kAt, 0},
      {CdRecordBuilder().Long({'x'}).LongHeader(2).Build(), kAt, 1},
      // Announced, but the record ends at the page end before the region.
      {announced_cut, kPageSize - announced_cut.size(), 1},
      // Not announced: no message whatever follows the short data.
      {CdRecordBuilder().Short({1}).Build(), kAt, 0},
  };
  for (const auto& c : cases) {
    RecordingMessages messages;
    EXPECT_EQ(CheckedLongRegion(Open(PageWith(c.record, c.at), c.at), messages).has_value(), c.at == kAt);
    EXPECT_EQ(messages.notices,
              std::vector<EngineNotice>(c.notices, EngineNotice::kLongRegionMissing));
  }
}

std::optional<int64_t> Int(const Bytes& b) { return CompressedInteger(ByteView(b)); }
std::string Decimal(const Bytes& b) { return CompressedDecimalText(ByteView(b)); }

TEST(CompressedIntegerTest, SignFlagInTheTopBitOfTheFirstByte) {
  EXPECT_EQ(Int({0x80, 0x05}), 5);
  EXPECT_EQ(Int({0x7F}), -1);
  EXPECT_EQ(Int({0x00}), -128);
  EXPECT_EQ(Int({0x80}), 0);
  EXPECT_EQ(Int({0x7F, 0xFF}), -1);
  EXPECT_EQ(Int({0x81, 0x00}), 256);  // big-endian, not little
  EXPECT_EQ(Int({}), 0);
  EXPECT_EQ(Int(Bytes(9, 0x80)), std::nullopt);
  // Every width round-trips up to the 64-bit limits.
  const int64_t values[] = {0, 1, -1, 127, -128, 128, -129, 32767, -32768, 5000000000LL,
                            -5000000000LL, std::numeric_limits<int64_t>::max(),
                            std::numeric_limits<int64_t>::min()};
  for (int64_t v : values) EXPECT_EQ(Int(CompressedIntBytes(v)), v) << v;
  EXPECT_EQ(CompressedIntBytes(127).size(), 1u);
  EXPECT_EQ(CompressedIntBytes(128).size(), 2u);
}

// Byte 0: sign in bit 7 (set = 0 or more), exponent (& 0x7F) - 64 of the
// first digit; then 10-bit groups of three digits, most significant first.
TEST(CompressedDecimalTest, DigitGroupsSignAndExponent) {
  const struct {
    Bytes bytes;
    std::string expected;
  } cases[] = {
      // e = 1: group 123, then six zero bits filled up to a group.
      {{0xC1, 0x1E, 0xC0}, "12.3000"},
      {{0x41, 0x1E, 0xC0}, "-12.3000"},
      {{0xC5, 0x1E, 0xC0}, "123000"},  // e = 5: six digits, no point
      // 40 mantissa bits: four whole groups 001 002 003 004, then "000".
      {{0xCE, 0x00, 0x40, 0x20, 0x0C, 0x04}, "001002003004000"},
      {{0xCB, 0x00, 0x40, 0x20, 0x0C, 0x04}, "001002003004.000"},
      {{0xC0}, "0.00"},                   // no mantissa: a zero group
      {{0xBF, 0x1E, 0xC0}, "0.123000"},   // e = -1
      {{0xBE, 0x1E, 0xC0}, "0.0123000"},  // e = -2
      {{0x3E, 0x1E, 0xC0}, "-0.0123000"},
      // e = 6 but only "100" "000": the integer part is padded, not overrun.
      {{0xC6, 0x19, 0x00}, "1000000"},
      {{0xFF}, std::string(64, '0')},  // e = 63, no mantissa
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Decimal(c.bytes), c.expected) << c.expected;
}

}  // namespace
}  // namespace tollamer
