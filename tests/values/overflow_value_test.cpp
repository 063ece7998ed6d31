#include <gtest/gtest.h>

#include "engine/pagestore/page_header.h"
#include "engine/values/large_values.h"
#include "tests/values/lob_test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::InRowLobPointer;
using fixtures::LobDataFragment;
using fixtures::LobInternalNode;
using fixtures::LobLink;
using fixtures::LobPage;
using page_layout::PageType;
using testing::Ascii;
using testing::LobFile;
using testing::VariableColumn;

std::string Read(const PageStore& store, const Bytes& pointer, uint8_t type) {
  std::string value;
  ReadOverflowValue(store, pointer, type, value);
  return value;
}

TEST(OverflowValueTest, PiecesJoinInLinkOrderCutByCumulativeSizes) {
  LobFile file;
  // Each record holds more bytes than its piece: the cumulative sizes decide.
  file.SetPage(12, LobPage(PageType::kTextMix, 12, {LobDataFragment(7, Ascii("alpha-XXXX"))}));
  file.SetPage(10, LobPage(PageType::kTextMix, 10, {LobDataFragment(7, Ascii("Q")),
                                                    LobDataFragment(7, Ascii("beta+YY"))}));
  file.SetPage(11, LobPage(PageType::kTextMix, 11, {LobDataFragment(7, Ascii("gammaZZZ"))}));
  const PageStore& store = file.Open();
  Bytes pointer = InRowLobPointer(0, {{6, 12, 0}, {11, 10, 1}, {16, 11, 0}});
  EXPECT_EQ(Read(store, pointer, value_type::kVarChar), "alpha-beta+gamma");
  EXPECT_EQ(Read(store, pointer, value_type::kVarBinary), "alpha-beta+gamma");
}

TEST(OverflowValueTest, TextConversionFollowsTheType) {
  LobFile file;
  Bytes wide = fixtures::Utf16("模块 text");
  Bytes tail = fixtures::Utf16("AB");
  Bytes binary = {0x00, 0x01, 0x00, 0xFF};
  file.SetPage(3, LobPage(PageType::kTextMix, 3,
                          {LobDataFragment(1, wide), LobDataFragment(1, tail),
                           LobDataFragment(2, binary)}));
  const PageStore& store = file.Open();
  Bytes two_pieces = InRowLobPointer(0, {{wide.size(), 3, 0}, {wide.size() + 4, 3, 1}});
  EXPECT_EQ(Read(store, two_pieces, value_type::kNVarChar), "模块 textAB")
      << "Chinese pieces and a short last piece stay UTF-16";
  EXPECT_EQ(Read(store, two_pieces, kOverflowModuleText), "模块 textAB")
      << "a module text piece that is really UTF-16 is converted";
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{2, 3, 1}}), value_type::kVarChar), "A")
      << "varchar bytes stay as stored, up to a zero byte, for the column's code page";
  std::string raw = Read(store, InRowLobPointer(0, {{4, 3, 2}}), value_type::kVarBinary);
  EXPECT_EQ(Bytes(raw.begin(), raw.end()), binary) << "varbinary keeps its zero bytes";
}

TEST(OverflowValueTest, NodesBelowThePointerAreWalked) {
  LobFile file;
  file.SetPage(5, LobPage(PageType::kTextTree, 5,
                          {LobInternalNode(9, 0, {{3, 6, 0}, {6, 6, 1}}),
                           LobInternalNode(9, 0, {{9, 6, 2}})}));
  file.SetPage(6, LobPage(PageType::kTextMix, 6,
                          {LobDataFragment(9, Ascii("one")), LobDataFragment(9, Ascii("two")),
                           LobDataFragment(9, Ascii("six"))}));
  file.SetPage(7, LobPage(PageType::kTextTree, 7, {LobInternalNode(9, 1, {{6, 5, 0}, {9, 5, 1}})}));
  const PageStore& store = file.Open();
  EXPECT_EQ(Read(store, InRowLobPointer(1, {{6, 5, 0}, {9, 5, 1}}), value_type::kVarChar), "onetwosix");
  EXPECT_EQ(Read(store, InRowLobPointer(2, {{9, 7, 0}}), value_type::kVarChar), "onetwosix");
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{9, 7, 0}}), value_type::kVarChar), "onetwosix")
      << "a level-0 pointer naming an internal node walks the node";
  EXPECT_EQ(Read(store, InRowLobPointer(6, {{9, 7, 0}}), value_type::kVarChar), "")
      << "levels above 5 are skipped";
}

TEST(OverflowValueTest, LoopingAndOverDeepNodesEnd) {
  LobFile file(24);
  // Page 4 slot 0 links to itself at level 1; a chain of level-1 nodes on
  // pages 8..19 is deeper than any real tree.
  file.SetPage(4, LobPage(PageType::kTextTree, 4, {LobInternalNode(1, 1, {{3, 4, 0}})}));
  for (uint32_t p = 8; p < 20; ++p)
    file.SetPage(p, LobPage(PageType::kTextTree, p, {LobInternalNode(1, 1, {{3, p + 1, 0}})}));
  file.SetPage(20, LobPage(PageType::kTextTree, 20, {LobInternalNode(1, 0, {{3, 21, 0}})}));
  file.SetPage(21, LobPage(PageType::kTextMix, 21, {LobDataFragment(1, Ascii("end"))}));
  const PageStore& store = file.Open();
  EXPECT_EQ(Read(store, InRowLobPointer(1, {{3, 4, 0}}), value_type::kVarChar), "");
  EXPECT_EQ(Read(store, InRowLobPointer(1, {{3, 8, 0}}), value_type::kVarChar), "");
  EXPECT_EQ(Read(store, InRowLobPointer(1, {{3, 17, 0}}), value_type::kVarChar), "end")
      << "a chain within the depth the format allows is read";
}

TEST(OverflowValueTest, PiecesOutsideThePageAreNotRead) {
  LobFile file;
  fixtures::PageBuilder b(PageType::kTextMix, 2);
  b.AddRecord(LobDataFragment(1, Ascii("fine")));
  b.AddRecordAt(8180, LobDataFragment(1, Ascii("")));  // data would start at 8194
  b.AddRecordAt(8150, LobDataFragment(1, Ascii("0123456789")));
  Bytes page = b.Build();
  fixtures::PutU16(page, page_layout::SlotEntryOffset(3), 0xFFF0);  // a slot past the page
  fixtures::PutU16(page, page_layout::kSlotCnt, 4);
  fixtures::FinishPage(page, fixtures::FormatVersion::kSql2008);
  file.SetPage(2, page);
  // The same piece on a data page; page 6 left zeroed.
  fixtures::PageBuilder data(PageType::kData, 5);
  data.AddRecord(LobDataFragment(1, Ascii("fine")));
  file.SetPage(5, data.Build());
  const PageStore& store = file.Open();
  std::string value;
  EXPECT_TRUE(ReadOverflowValue(store, InRowLobPointer(0, {{4, 2, 0}}), value_type::kVarChar, value));
  for (uint32_t page_number : {5u, 6u})
    EXPECT_FALSE(ReadOverflowValue(store, InRowLobPointer(0, {{4, page_number, 0}}),
                                   value_type::kVarChar, value))
        << "a piece on page " << page_number << ", no text page, is no part of the value";
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{4, 2, 0}, {5, 2, 1}}), value_type::kVarChar), "fine");
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{4, 2, 0}, {104, 2, 2}}), value_type::kVarChar), "fine")
      << "a piece running past byte 8192 ends the value";
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{4, 2, 0}, {2, 2, 0}}), value_type::kVarChar), "fine")
      << "a cumulative size that goes backwards ends the value";
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{4, 2, 3}}), value_type::kVarChar), "");
  EXPECT_EQ(Read(store, InRowLobPointer(0, {{4, 900, 0}}), value_type::kVarChar), "")
      << "a page past the end of the file";
  EXPECT_EQ(Read(store, Bytes(20, 0), value_type::kVarChar), "") << "a pointer without links";
}

// Off-row values whose links name the same piece again and again (found by
// fuzzing the large-value readers).
TEST(OverflowValueBoundsTest, OffRowTreeThatNamesOnePieceOverAndOverReadsNoMoreThanTheFile) {
  // 40 internal nodes of 500 links each, every link naming the same
  // 8000-byte fragment with ever larger cumulative sizes: taken at their
  // word, 160 MB from a file of 48 pages.
  constexpr uint32_t kNodes = 40;
  LobFile file(48);
  file.SetPage(2, LobPage(PageType::kTextMix, 2,
                                    {LobDataFragment(9, Bytes(8000, 'A'))}));
  uint64_t end = 0;
  std::vector<LobLink> roots;
  for (uint32_t n = 0; n < kNodes; ++n) {
    std::vector<LobLink> links;
    for (int i = 0; i < 500; ++i) links.push_back({end += 8000, 2, 0});
    file.SetPage(4 + n, LobPage(PageType::kTextTree, 4 + n,
                                          {LobInternalNode(9, 0, links)}));
    roots.push_back({end, 4 + n, 0});
  }
  const PageStore& store = file.Open();
  std::string value;
  ReadOverflowValue(store, fixtures::InRowLobPointer(1, roots), value_type::kVarBinary, value);
  EXPECT_GE(value.size(), 8000u) << "the first pieces are still read";
  EXPECT_LE(value.size(), store.FileLength()) << "a value never holds more bytes than its file";
}

TEST(OverflowValueTest, RealOffRowSystemValueIsReadWhole) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(path));
  // sysobjvalues (object 60) keeps a 9488-byte value of slot 1 on page 56
  // off-row, in two pieces on pages 159 and 160.
  std::optional<Page> page = store.ReadPage(56);
  ASSERT_TRUE(page);
  std::optional<uint16_t> offset = SlotOffset(page->view(), 1);
  ASSERT_TRUE(offset);
  std::optional<ByteView> pointer = VariableColumn(page->view().From(*offset), 1);
  ASSERT_TRUE(pointer);
  ASSERT_EQ(pointer->size(), 36u);
  std::string value;
  ReadOverflowValue(store, *pointer, value_type::kVarBinary, value);
  ASSERT_EQ(value.size(), 9488u);
  std::optional<Page> first = store.ReadPage(159);
  ASSERT_TRUE(first);
  std::optional<uint16_t> at = SlotOffset(first->view(), 0);
  ASSERT_TRUE(at);
  std::optional<ByteView> head = first->view().Slice(*at + 14, 8040);
  ASSERT_TRUE(head);
  EXPECT_EQ(value.substr(0, 8040), std::string(head->data(), head->data() + 8040));
}

}  // namespace
}  // namespace tollamer
