// Damaged NTFS run lists found by fuzzing.
#include <gtest/gtest.h>

#include "tools/allocation_map.h"

namespace tollamer::tools {
namespace {

TEST(RunListDamageTest, OffsetsCarryingTheClusterPastSixtyFourBitsRejectTheList) {
  // Run 1: one cluster at 0x7FFFFFFFFFFFFFFF; run 2: one more cluster at
  // +0x10 from there, beyond any signed 64-bit cluster number.
  const std::vector<uint8_t> runs = {0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F,
                                     0x11, 0x01, 0x10, 0x00};
  EXPECT_FALSE(DecodeRunList(runs));
}

TEST(RunListDamageTest, NegativeOffsetsWithinTheVolumeStillDecode) {
  // 0x10 clusters at 0x100, then 8 clusters at 0x100 - 0x10.
  const std::vector<uint8_t> runs = {0x21, 0x10, 0x00, 0x01, 0x11, 0x08, 0xF0, 0x00};
  auto decoded = DecodeRunList(runs);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->size(), 2u);
  EXPECT_EQ((*decoded)[1].lcn, 0xF0);
}

}  // namespace
}  // namespace tollamer::tools
