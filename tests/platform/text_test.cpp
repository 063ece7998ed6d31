#include "platform/text.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "tests/test_support.h"

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

// ASCII, Latin, CJK and supplementary characters; lone surrogates (a high
// one before a unit that is not a low one: U+FFFD and the unit) and an odd
// byte do not corrupt the rest; the text goes after what the string holds.
TEST(Utf16Test, ConvertsEveryPlaneAndKeepsTheRestAroundDamage) {
  std::vector<uint8_t> odd = Le({'x'});
  odd.push_back(0x41);
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {Le({'p', 'u', 'b', 's'}), "pubs"}, {Le({0x00E9}), "\xC3\xA9"},
      {Le({0x4E2D, 0x6587}), "中文"},     {Le({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"},
      {Le({'a', 0xD800, 'b'}), "a\uFFFDb"}, {Le({'a', 0xDC00}), "a\uFFFD"},
      {Le({0xDBFF}), "\uFFFD"}, {Le({0xD800, 'z', 0xDFFF, 0xDC00}), "\uFFFDz\uFFFD\uFFFD"},
      {odd, "x"},                         {{}, ""},
      // Runs of ASCII taken four units at a time around other units: a
      // high byte set (U+0100), a low byte's top bit set, a surrogate pair.
      {Le({'w', 'x', 'y', 0x0100, 'z', 'a', 'b', 'c', 0x00E9, 'd', 'e', 'f', 'g', 0xD83D, 0xDE00,
           'h', 'i', 'j', 'k', 0xDC00}),
       "wxy\xC4\x80zabc\xC3\xA9" "defg\xF0\x9F\x98\x80hijk\uFFFD"}};
  for (const auto& [utf16, utf8] : cases) {
    std::string out = "k=";
    AppendUtf16LeAsUtf8(utf16, out);
    EXPECT_EQ(out, "k=" + utf8);
  }
}

TEST(GbkTest, ConvertsChineseAndCountsWhatGbkLacks) {
  std::optional<GbkText> gbk = Utf8ToGbk("表A");
  ASSERT_TRUE(gbk);
  EXPECT_EQ(gbk->bytes, "\xB1\xED" "A");
  EXPECT_EQ(gbk->unmappable, 0u);
  std::string many = "a";
  for (int i = 0; i < 7; ++i) many += "\xF0\x9F\x98\x80";  // U+1F600
  many += "\xE0\xB8\x81z";                                      // Thai ko kai
  std::optional<GbkText> lacking = Utf8ToGbk(many);
  ASSERT_TRUE(lacking);
  EXPECT_EQ(lacking->bytes, "a????????z");
  EXPECT_EQ(lacking->unmappable, 8u);
  ASSERT_EQ(lacking->firstUnmappable.size(), kUnmappableKept);
  EXPECT_EQ(lacking->firstUnmappable[0], "\xF0\x9F\x98\x80");
}

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// Each stored byte string, read in its code page, gives this UTF-8.
TEST(CodePageTest, DecodesEachCodePageAndMarksWhatItLacks) {
  const struct {
    uint16_t codePage;
    std::string_view stored, utf8;
  } cases[] = {
      {1252, "M\xFCnchen \x80", "München €"},
      {0, "M\xFCnchen", "München"},  // unknown: as 1252
      {1252, "M\x81nchen", "M\uFFFDnchen"},  // 0x81 is undefined in 1252
      {850, "M\x81nchen", "München"},
      {437, "M\x81nchen \x9B", "München ¢"},
      {936, "\xD6\xD0\xCE\xC4", "中文"},
      {936, "\xD6\xD0\xCE", "中\uFFFD"},  // a character cut off
      {950, "\xA4\xA4\xA4\xE5", "中文"},
      {932, "\x82\xA0\x93\xFA", "あ日"},
      {949, "\xB0\xA1", "가"},
      {1251, "\xCF\xF0\xE8", "При"},
      {874, "\xA1", "ก"},
      {1258, "\xC3n v\xE0", "Ăn và"},
      {65001, "\xE4\xB8\xAD\xC3\xBC", "中ü"},
      {65001, "a\xC3\x28\xED\xA0\x80z", "a\uFFFD(\uFFFD\uFFFD\uFFFDz"},
      {1, "abc", "abc"},  // a code page iconv lacks: ASCII stays
  };
  for (const auto& c : cases) {
    const std::string got = CodePageToUtf8(Bytes(c.stored), c.codePage);
    EXPECT_EQ(got, c.utf8) << "code page " << c.codePage;
    EXPECT_TRUE(testing::IsValidUtf8(got)) << "code page " << c.codePage;
  }
  for (std::string_view bad : {"\xC3\x28", "\xED\xA0\x80", "\xC0\xAF", "\xF4\x90\x80\x80", "\xE4\xB8"})
    EXPECT_FALSE(IsValidUtf8(bad)) << "invalid UTF-8 is recognised";
  EXPECT_TRUE(IsValidUtf8("München 中 \xF0\x9F\x98\x80"));
  EXPECT_TRUE(CodePageSupported(936));
  EXPECT_FALSE(CodePageSupported(1));
}

TEST(CodePageTest, EveryByteOfEveryCodePageGivesValidUtf8) {
  std::vector<uint8_t> all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<uint8_t>(b));
  for (uint16_t cp : {437, 850, 874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256,
                      1257, 1258, 65001}) {
    EXPECT_TRUE(testing::IsValidUtf8(CodePageToUtf8(all, cp))) << "code page " << cp;
  }
}

}  // namespace
}  // namespace tollamer::platform
