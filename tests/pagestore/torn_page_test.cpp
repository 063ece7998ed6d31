// Page bytes: little-endian reads that never leave the buffer, the repair
// of torn-page bits, and the check of a page's checksum or torn bits.
#include "engine/pagestore/torn_page.h"

#include "engine/pagestore/page_check.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/fixtures/page_builder.h"

namespace tollamer {
namespace {

using namespace page_layout;

fixtures::Bytes PatternPage() {
  fixtures::Bytes page(kPageSize);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7 + 3);
  return page;
}

// The fixture writer's checksum (written from the format's description)
// against the reader's, and each way a page fails.
TEST(PageCheckTest, ChecksumAndTornBitsJudgeThePage) {
  enum Protection { kNone, kChecksum, kTornBits };
  auto made = [](uint8_t type, Protection protection) {
    fixtures::Bytes page = PatternPage();
    page[kHeaderVersion] = 1;
    page[kType] = type;
    page[kFlagBits] = page[kFlagBits + 1] = 0;
    if (protection == kChecksum) fixtures::ApplyChecksum(page);
    if (protection == kTornBits) fixtures::ApplyTornBits(page, 2);
    return page;
  };
  const struct {
    const char* what;
    fixtures::Bytes page;
    size_t flip;  // a byte flipped after the page was finished; 0: none
    PageCheck expected;
  } cases[] = {
      {"checksummed", made(1, kChecksum), 0, PageCheck::kGood},
      {"a byte changed in the last sector", made(1, kChecksum), kPageSize - 3, PageCheck::kChecksumFails},
      {"a byte of the header changed", made(1, kChecksum), kSlotCnt, PageCheck::kChecksumFails},
      {"torn bits whole", made(3, kTornBits), 0, PageCheck::kGood},
      {"sector 7 written apart", made(3, kTornBits), 7 * kSectorSize + kSectorSize - 1, PageCheck::kTorn},
      {"no page header: not judged", made(0x55, kChecksum), kPageSize - 3, PageCheck::kUnprotected},
      {"neither flag", made(1, kNone), kPageSize - 3, PageCheck::kUnprotected},
  };
  for (const auto& c : cases) {
    fixtures::Bytes page = c.page;
    if (c.flip) page[c.flip] ^= 0x03;
    EXPECT_EQ(CheckPage(page), c.expected) << c.what;
  }
  EXPECT_FALSE(PageChecksum(ByteView(cases[0].page.data(), kPageSize - 1)));
}

TEST(FixTornPageTest, AllBitsSetSetsLowBitsOfSectors1To15Only) {
  fixtures::Bytes page = PatternPage();
  Page fixed = FixTornPage(page, 0xFFFFFFFF, kFlagTornBits);
  auto out = fixed.bytes();
  EXPECT_EQ(out[511], page[511]) << "sector 0 is never changed";
  for (size_t s = 1; s < kSectorsPerPage; ++s) {
    size_t last = s * kSectorSize + kSectorSize - 1;
    EXPECT_EQ(out[last], (page[last] & 0xFC) | 3) << "sector " << s;
    EXPECT_EQ(out[last - 1], page[last - 1]);
  }
  // Without the flag the page is unchanged.
  Page unflagged = FixTornPage(page, 0xFFFFFFFF, 0x0200);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), unflagged.bytes().begin()));
  // Bits are taken pairwise per sector.
  page.assign(kPageSize, 0xFF);
  Page pairs = FixTornPage(page, 4, kFlagTornBits);
  out = pairs.bytes();
  EXPECT_EQ(out[1023], 0xFD);  // sector 1: low bits 01
  EXPECT_EQ(out[1535], 0xFC);  // sector 2: low bits 00
  EXPECT_EQ(out[8191], 0xFC);
  EXPECT_EQ(out[511], 0xFF);
  EXPECT_EQ(page[1023], 0xFF) << "the input is not modified";
}

TEST(FixTornPageTest, UndoesWhatTheServerWrites) {
  fixtures::Bytes original = PatternPage();
  original[kFlagBits] = 0;
  original[kFlagBits + 1] = 0;
  for (uint8_t pattern : {1, 2}) {
    fixtures::Bytes written = original;
    fixtures::ApplyTornBits(written, pattern);
    ASSERT_NE(written, original);
    ByteView v(written);
    Page fixed = FixTornPage(written, v.LeOr<uint32_t>(kTornBits), v.LeOr<uint16_t>(kFlagBits));
    // Everything but the header's flag and torn-bit fields is restored.
    for (size_t i = kHeaderSize; i < kPageSize; ++i)
      ASSERT_EQ(fixed.bytes()[i], original[i]) << "byte " << i << " pattern " << int(pattern);
  }
}

TEST(ByteViewTest, ReadsAndSlicesInsideAndNothingOutside) {
  std::vector<uint8_t> b = {0x01, 0x02, 0x03, 0x04, 0xFF};
  ByteView v(b);
  EXPECT_EQ(v.U16(0), 0x0201);
  EXPECT_EQ(v.U32(1), 0xFF040302u);
  EXPECT_EQ(v.I16(3), static_cast<int16_t>(0xFF04));
  EXPECT_FALSE(v.U32(2));
  EXPECT_FALSE(v.U8(5));
  EXPECT_FALSE(v.U16(SIZE_MAX));
  EXPECT_EQ(v.LeOr<uint32_t>(4, 9), 9u);
  // Slices never reach past the end.
  std::vector<uint8_t> zeros(10, 0);
  v = ByteView(zeros);
  EXPECT_TRUE(v.Slice(10, 0));
  EXPECT_FALSE(v.Slice(11, 0));
  EXPECT_FALSE(v.Slice(5, SIZE_MAX));  // offset + length would wrap
  EXPECT_TRUE(v.From(20).empty());
  EXPECT_EQ(v.From(7).size(), 3u);
  EXPECT_FALSE(v.AllZero(8, 3));
}

}  // namespace
}  // namespace tollamer
