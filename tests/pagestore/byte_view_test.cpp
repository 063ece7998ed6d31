#include "engine/pagestore/byte_view.h"

#include <gtest/gtest.h>

#include <vector>

namespace tollamer {
namespace {

TEST(ByteViewTest, ReadsLittleEndianInsideAndNothingOutside) {
  std::vector<uint8_t> b = {0x01, 0x02, 0x03, 0x04, 0xFF};
  ByteView v(b);
  EXPECT_EQ(v.U16(0), 0x0201);
  EXPECT_EQ(v.U32(1), 0xFF040302u);
  EXPECT_EQ(v.I16(3), static_cast<int16_t>(0xFF04));
  EXPECT_FALSE(v.U32(2));
  EXPECT_FALSE(v.U8(5));
  EXPECT_FALSE(v.U16(SIZE_MAX));
  EXPECT_EQ(v.LeOr<uint32_t>(4, 9), 9u);
}

TEST(ByteViewTest, SlicesNeverReachPastTheEnd) {
  std::vector<uint8_t> b(10, 0);
  ByteView v(b);
  EXPECT_TRUE(v.Slice(10, 0));
  EXPECT_FALSE(v.Slice(11, 0));
  EXPECT_FALSE(v.Slice(5, SIZE_MAX));  // offset + length would wrap
  EXPECT_TRUE(v.From(20).empty());
  EXPECT_EQ(v.From(7).size(), 3u);
  EXPECT_FALSE(v.AllZero(8, 3));
}

}  // namespace
}  // namespace tollamer
