// Off-row values whose links name the same piece again and again (found by
// fuzzing the large-value readers).
#include <gtest/gtest.h>

#include "engine/values/large_values.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/values/lob_test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::LobLink;
using page_layout::PageType;

TEST(OverflowValueBoundsTest, OffRowTreeThatNamesOnePieceOverAndOverReadsNoMoreThanTheFile) {
  // 40 internal nodes of 500 links each, every link naming the same
  // 8000-byte fragment with ever larger cumulative sizes: taken at their
  // word, 160 MB from a file of 48 pages.
  constexpr uint32_t kNodes = 40;
  testing::LobFile file(48);
  file.SetPage(2, fixtures::LobPage(PageType::kTextMix, 2,
                                    {fixtures::LobDataFragment(9, Bytes(8000, 'A'))}));
  uint64_t end = 0;
  std::vector<LobLink> roots;
  for (uint32_t n = 0; n < kNodes; ++n) {
    std::vector<LobLink> links;
    for (int i = 0; i < 500; ++i) links.push_back({end += 8000, 2, 0});
    file.SetPage(4 + n, fixtures::LobPage(PageType::kTextTree, 4 + n,
                                          {fixtures::LobInternalNode(9, 0, links)}));
    roots.push_back({end, 4 + n, 0});
  }
  const PageStore& store = file.Open();
  std::string value;
  ReadOverflowValue(store, fixtures::InRowLobPointer(1, roots), value_type::kVarBinary, value);
  EXPECT_GE(value.size(), 8000u) << "the first pieces are still read";
  EXPECT_LE(value.size(), store.FileLength()) << "a value never holds more bytes than its file";
}

}  // namespace
}  // namespace tollamer
