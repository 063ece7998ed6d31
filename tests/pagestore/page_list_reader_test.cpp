// Reading a page list in blocks gives every entry exactly the page that a
// single-page read gives, in list order, whatever the list's shape; the
// kinds noted in one pass ahead give what the headers give.
#include "engine/pagestore/page_list_reader.h"

#include <gtest/gtest.h>

#include "tests/fixtures/file_builder.h"
#include "tests/fixtures/page_builder.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;

constexpr uint32_t kPages = 150;  // more than two blocks

std::string WriteFile(const testing::TempDir& dir) {
  fixtures::FileBuilder file(kPages);
  for (uint32_t p = 0; p < kPages; ++p) {
    fixtures::PageBuilder b(page_layout::PageType::kData, p);
    b.ObjId(1000 + p);
    b.AddRecord(Bytes(40, static_cast<uint8_t>(p)));
    Bytes page = b.Build();
    page[page_layout::kPageSize - 1] = static_cast<uint8_t>(p);  // the end of the last sector
    if (p % 7 == 3) fixtures::ApplyTornBits(page, 2);
    file.SetPage(p, page);
  }
  return dir.Write("pages.mdf", file.Image());
}

std::vector<std::optional<Bytes>> Read(PageListReader& reader, const std::vector<uint64_t>& list) {
  std::vector<std::optional<Bytes>> out;
  std::vector<uint64_t> numbers;
  reader.ForEach(list, [&](uint64_t n, const ByteView* page) {
    numbers.push_back(n);
    if (page) out.emplace_back(Bytes(page->data(), page->data() + page->size()));
    else out.emplace_back(std::nullopt);
    return true;
  });
  EXPECT_EQ(numbers, list);
  return out;
}

TEST(PageListReaderTest, EveryEntryIsThePageASingleReadGives) {
  testing::TempDir dir;
  SilentMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(WriteFile(dir)));
  std::vector<uint64_t> list;
  for (uint64_t p = 2; p < 140; ++p) list.push_back(p);  // runs cut at the block size
  for (uint64_t p : {9ull, 3ull, 4ull, 4ull, 5ull, 148ull, 149ull, 150ull, 151ull, 0ull, 1ull << 40, 7ull})
    list.push_back(p);
  PageListReader reader(store);
  for (int pass = 0; pass < 2; ++pass) {  // the reader's buffer is reused
    std::vector<std::optional<Bytes>> pages = Read(reader, list);
    ASSERT_EQ(pages.size(), list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      std::optional<Page> single = store.ReadPage(list[i]);
      ASSERT_EQ(pages[i].has_value(), single.has_value()) << "entry " << i;
      if (single) {
        EXPECT_TRUE(std::equal(pages[i]->begin(), pages[i]->end(), single->view().data()))
            << "page " << list[i];
      }
    }
  }
  // Torn bits are repaired: the last byte of page 3 is its own number again.
  EXPECT_EQ(Read(reader, {3, 4})[0]->back(), 3);
  EXPECT_NE(store.ReadRawPage(3)->view().data()[page_layout::kPageSize - 1], 3) << "kept as stored";
  // The visitor stops the read.
  std::vector<uint64_t> seen;
  EXPECT_FALSE(reader.ForEach(std::vector<uint64_t>{10, 11, 12, 13}, [&](uint64_t n, const ByteView*) {
    seen.push_back(n);
    return n != 11;
  }));
  EXPECT_EQ(seen, (std::vector<uint64_t>{10, 11}));
}

// The kinds noted in one pass answer as the headers do, for pages held or
// not, torn ones among them.
TEST(PageListReaderTest, KindsNotedInOnePassAnswerAsTheHeaders) {
  testing::TempDir dir;
  SilentMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(WriteFile(dir)));
  std::vector<uint64_t> pages;
  for (uint64_t p = 0; p < kPages + 2; ++p) pages.push_back(p);
  pages.push_back(1ull << 40);
  store.WillRead(pages);  // only a hint, past the end too
  for (bool noted : {false, true}) {
    if (noted) store.NotePageKinds();
    for (uint64_t p : pages) {
      std::optional<PageKind> kind = store.KindOf(p);
      std::optional<PageHeader> header = store.ReadHeader(p);
      ASSERT_EQ(kind.has_value(), header.has_value()) << "page " << p;
      if (!kind) continue;
      EXPECT_EQ(kind->type, header->type);
      EXPECT_EQ(kind->objId, 1000 + p) << "page " << p << (noted ? " noted" : " read");
    }
  }
}

}  // namespace
}  // namespace tollamer
