#include <gtest/gtest.h>

#include "engine/values/large_values.h"
#include "tests/values/lob_test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::FormatVersion;
using fixtures::LobDataFragment;
using fixtures::LobInternalNode;
using fixtures::LobPage;
using fixtures::LobRoot;
using page_layout::PageType;
using testing::Ascii;
using testing::LobFile;

constexpr FormatVersion k2000 = FormatVersion::kSql2000;

std::string Text(const TextTreeRules& rules, const PageStore& store, uint32_t page, uint16_t slot,
                 bool unicode = false) {
  std::string value;
  ReadTextValue(store, rules, page, slot, 1, value, true, unicode);
  return value;
}

TEST(TextValueTest, NullAndSmallRoots) {
  LobFile file;
  file.SetPage(3, LobPage(PageType::kTextMix, 3,
                          {fixtures::LobNullRoot(1), fixtures::LobSmallRoot(2, {}),
                           fixtures::LobSmallRoot(3, fixtures::Utf16("héllo")),
                           fixtures::LobSmallRoot(4, Ascii("plain"))},
                          k2000));
  const PageStore& store = file.Open();
  EXPECT_EQ(Text(kTextTree2000, store, 3, 0), "");
  EXPECT_EQ(Text(kTextTree2005, store, 3, 0), "");
  EXPECT_EQ(Text(kTextTree2005, store, 3, 1), "");
  EXPECT_EQ(Text(kTextTree2000, store, 3, 2, true), "héllo") << "10 bytes of ntext are 5 characters";
  EXPECT_EQ(Text(kTextTree2005, store, 3, 3), "plain");
  // A text pointer names page, file and slot.
  std::optional<TextPointer> p = DecodeTextPointer(fixtures::TextPointerBytes(92, 3));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->pageId, 92u);
  EXPECT_EQ(p->fileId, 1u);
  EXPECT_EQ(p->slotId, 3u);
  EXPECT_FALSE(DecodeTextPointer(Bytes(15, 0)));
}

TEST(TextValueTest, RootLinksAreTwelveBytesFromOffset24InBothVersions) {
  for (FormatVersion version : {FormatVersion::kSql2000, FormatVersion::kSql2008}) {
    LobFile file;
    uint16_t root_type = version == k2000 ? fixtures::kLobRoot2000 : fixtures::kLobRoot2005;
    file.SetPage(4, LobPage(PageType::kTextMix, 4,
                            {LobRoot(1, 0, {{3, 6, 1}, {6, 5, 0}, {9, 6, 0}}, root_type)},
                            version));
    file.SetPage(5, LobPage(PageType::kTextMix, 5, {LobDataFragment(1, Ascii("def"))}, version));
    file.SetPage(6, LobPage(PageType::kTextMix, 6,
                            {LobDataFragment(1, Ascii("ghi")), LobDataFragment(1, Ascii("abc"))},
                            version));
    const PageStore& store = file.Open();
    EXPECT_EQ(Text(version == k2000 ? kTextTree2000 : kTextTree2005, store, 4, 0), "abcdefghi")
        << static_cast<int>(version);
  }
}

// Root (page 4) of level `root_level` whose subtree ends in fragments on
// page 9.
TEST(TextValueTest, LevelsBelowTheRootUseSixteenByteLinks) {
  LobFile file;
  file.SetPage(4, LobPage(PageType::kTextMix, 4,
                          {LobRoot(1, 1, {{6, 7, 0}}, fixtures::kLobRoot2000),
                           LobRoot(1, 2, {{6, 8, 0}}, fixtures::kLobRoot2000)},
                          k2000));
  file.SetPage(7, LobPage(PageType::kTextTree, 7, {LobInternalNode(1, 0, {{3, 9, 0}, {6, 9, 1}})},
                          k2000));
  file.SetPage(8, LobPage(PageType::kTextTree, 8, {LobInternalNode(1, 1, {{6, 7, 0}})}, k2000));
  file.SetPage(9, LobPage(PageType::kTextMix, 9,
                          {LobDataFragment(1, fixtures::Utf16("ab")),
                           LobDataFragment(1, fixtures::Utf16("cd"))},
                          k2000));
  const PageStore& store = file.Open();
  EXPECT_EQ(Text(kTextTree2000, store, 4, 0, true), "abcd");
  EXPECT_EQ(Text(kTextTree2000, store, 4, 1, true), "abcd") << "root of level 2";
}

TEST(TextValueTest, LoopsAndOverDeepTreesEnd) {
  LobFile file;
  file.SetPage(4, LobPage(PageType::kTextMix, 4,
                          {LobRoot(1, 1, {{3, 7, 0}}), LobRoot(1, 2, {{3, 7, 1}})}));
  file.SetPage(7, LobPage(PageType::kTextTree, 7,
                          {LobInternalNode(1, 1, {{3, 7, 0}, {6, 7, 2}}),  // links to itself
                           LobInternalNode(1, 2, {{3, 7, 3}}),
                           LobInternalNode(1, 0, {{3, 8, 0}}),
                           LobInternalNode(1, 2, {{3, 7, 2}})}));
  file.SetPage(8, LobPage(PageType::kTextMix, 8, {LobDataFragment(1, Ascii("xyz"))}));
  const PageStore& store = file.Open();
  EXPECT_EQ(Text(kTextTree2005, store, 4, 0), "xyz") << "the self-link is read once and ends";
  EXPECT_EQ(Text(kTextTree2005, store, 4, 1), "") << "three node levels under the root are more than a text tree has";
}

TEST(TextValueTest, Sql2005PagesAreScreened) {
  LobFile file;
  Bytes bad = LobPage(PageType::kTextMix, 3, {fixtures::LobSmallRoot(1, Ascii("x"))});
  bad[0x50] = 1;  // reserved header bytes
  file.SetPage(3, bad);
  file.SetPage(5, LobPage(PageType::kTextMix, 5, {fixtures::LobSmallRoot(1, Ascii("x"))}));
  file.SetPage(6, LobPage(static_cast<PageType>(7), 6, {fixtures::LobSmallRoot(1, Ascii("x"))}));
  const PageStore& store = file.Open();
  EXPECT_EQ(Text(kTextTree2005, store, 3, 0), "");
  EXPECT_EQ(Text(kTextTree2005, store, 6, 0), "");
  EXPECT_EQ(Text(kTextTree2005, store, 5, 0), "x");
  EXPECT_EQ(Text(kTextTree2000, store, 3, 0), "x") << "SQL 2000 files read the page regardless";
  EXPECT_EQ(Text(kTextTree2005, store, 5000, 0), "");
}

TEST(TextValueTest, FragmentsOutsideTheirPageAreNotRead) {
  LobFile file;
  fixtures::PageBuilder b(PageType::kTextMix, 2);
  b.AddRecord(LobDataFragment(1, Ascii("ok")));
  Bytes huge = LobDataFragment(1, Ascii("0123456789"));
  fixtures::PutU16(huge, 2, 0x7000);  // record length far past the page
  b.AddRecordAt(1000, huge);
  b.AddRecordAt(40, LobDataFragment(1, Ascii("in the header")));
  b.AddRecordAt(8170, LobDataFragment(1, Ascii("0123456789")));
  Bytes page = b.Build();
  fixtures::FinishPage(page, k2000);
  file.SetPage(2, page);
  fixtures::PageBuilder data(PageType::kData, 3);  // no text page
  data.AddRecord(LobDataFragment(1, Ascii("ok")));
  file.SetPage(3, data.Build());
  file.SetPage(4, LobPage(PageType::kTextMix, 4,
                          {LobRoot(1, 0, {{2, 2, 0}, {12, 2, 1}, {14, 2, 2}, {16, 2, 3}},
                                   fixtures::kLobRoot2000)},
                          k2000));
  const PageStore& store = file.Open();
  EXPECT_EQ(Text(kTextTree2000, store, 4, 0), "ok");
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2000, 2, 0, 2)) << "file 2 is never read";
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2000, 2, 4097, 1));
  ASSERT_TRUE(ReadTextFragment(store, kTextTree2005, 2, 0, 1));
  EXPECT_EQ(ReadTextFragment(store, kTextTree2005, 2, 0, 1)->size(), 2u);
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2005, 2, 1, 1));
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2005, 2, 3, 1));
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2005, 2, 4096, 1));
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2000, 3, 0, 1)) << "a data page";
  EXPECT_FALSE(ReadTextFragment(store, kTextTree2005, 3, 0, 1)) << "a data page";
}

// The text pointer of variable column `column` (0-based) of the pub_info
// row in `slot` of page `page`.
std::optional<TextPointer> PubInfoPointer(const PageStore& store, uint32_t page, size_t slot,
                                          size_t column) {
  std::optional<Page> data = store.ReadPage(page);
  std::optional<uint16_t> at = data ? SlotOffset(data->view(), slot) : std::nullopt;
  std::optional<ByteView> value = at ? testing::VariableColumn(data->view().From(*at), column)
                                     : std::nullopt;
  return value ? DecodeTextPointer(*value) : std::nullopt;
}

TEST(TextValueTest, RealPubInfoValuesOfSql2000) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2000.mdf");
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(path));
  // Page 103 holds pub_info's eight rows: pub_id, logo (image), pr_info (text).
  std::optional<TextPointer> logo = PubInfoPointer(store, 103, 0, 0);
  std::optional<TextPointer> pr_info = PubInfoPointer(store, 103, 0, 1);
  ASSERT_TRUE(logo && pr_info);
  std::string image;
  ReadTextValue(store, kTextTree2000, logo->pageId, logo->slotId, logo->fileId, image, true, false);
  EXPECT_EQ(image.size(), 643u);
  EXPECT_EQ(image.substr(0, 6), "GIF89a");
  std::string text;  // its root has level 1
  ReadTextValue(store, kTextTree2000, pr_info->pageId, pr_info->slotId, pr_info->fileId, text,
                true, false);
  EXPECT_EQ(text.size(), 65071u);
  EXPECT_EQ(text.substr(0, 43), "This is sample text data for New Moon Books");
}

TEST(TextValueTest, RealRootWithThreeLinksOfSql2008) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(path));
  // The root record in slot 14 of page 110 links to pages 120, 121 and 126.
  std::string text = Text(kTextTree2005, store, 110, 14);
  EXPECT_EQ(text.size(), 18518u);
  EXPECT_EQ(text.substr(0, 28), "This is sample text data for");
  EXPECT_EQ(Text(kTextTree2005, store, 110, 3).size(), 65071u) << "a root of level one";
}

}  // namespace
}  // namespace tollamer
