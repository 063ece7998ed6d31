#include "platform/text.h"

#include <gtest/gtest.h>

#include <vector>

namespace tollamer::platform {
namespace {

std::vector<uint8_t> Le(std::initializer_list<uint16_t> units) {
  std::vector<uint8_t> out;
  for (uint16_t u : units) {
    out.push_back(u & 0xFF);
    out.push_back(u >> 8);
  }
  return out;
}

TEST(Utf16Test, ConvertsAsciiLatinCjkAndSupplementaryCharacters) {
  EXPECT_EQ(Utf16LeToUtf8(Le({'p', 'u', 'b', 's'})), "pubs");
  EXPECT_EQ(Utf16LeToUtf8(Le({0x00E9})), "\xC3\xA9");                // é
  EXPECT_EQ(Utf16LeToUtf8(Le({0x4E2D, 0x6587})), "中文");
  EXPECT_EQ(Utf16LeToUtf8(Le({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");  // U+1F600
}

TEST(Utf16Test, LoneSurrogatesAndOddBytesDoNotCorruptTheRest) {
  EXPECT_EQ(Utf16LeToUtf8(Le({'a', 0xD800, 'b'})), "a?b");
  EXPECT_EQ(Utf16LeToUtf8(Le({'a', 0xDC00})), "a?");
  std::vector<uint8_t> odd = Le({'x'});
  odd.push_back(0x41);
  EXPECT_EQ(Utf16LeToUtf8(odd), "x");
  EXPECT_EQ(Utf16LeToUtf8({}), "");
}

TEST(Utf16Test, AppendsAfterWhatTheTextHolds) {
  std::string out = "k=";
  AppendUtf16LeAsUtf8(Le({'a', 0x4E2D, 0xD83D, 0xDE00, 0xDBFF}), out);
  EXPECT_EQ(out, "k=a中\xF0\x9F\x98\x80?");
  // A high surrogate before a unit that is not a low one: '?' and the unit.
  AppendUtf16LeAsUtf8(Le({0xD800, 'z', 0xDFFF, 0xDC00}), out);
  EXPECT_EQ(out, "k=a中\xF0\x9F\x98\x80??z??");
}

TEST(GbkTest, ConvertsChineseAndMarksWhatGbkLacks) {
  std::optional<std::string> gbk = Utf8ToGbk("表A");
  ASSERT_TRUE(gbk);
  EXPECT_EQ(*gbk, "\xB1\xED" "A");
  std::optional<std::string> emoji = Utf8ToGbk("a\xF0\x9F\x98\x80z");
  ASSERT_TRUE(emoji);
  EXPECT_EQ(*emoji, "a?z");
}

}  // namespace
}  // namespace tollamer::platform
