#include "engine/pagestore/page_list_reader.h"

#include <algorithm>

#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

bool PageListReader::ForEach(std::span<const uint64_t> pages,
                             const std::function<bool(uint64_t, const ByteView*)>& visit) {
  for (size_t i = 0; i < pages.size();) {
    // The run of entries naming pages first, first + 1, ...
    size_t run = 1;
    while (i + run < pages.size() && run < kBlockPages && pages[i + run - 1] != UINT64_MAX &&
           pages[i + run] == pages[i + run - 1] + 1)
      ++run;
    size_t got = 0;
    if (run > 1) {
      block_.resize(std::max(block_.size(), run * kPageSize));
      got = store_.ReadPageBlock(pages[i], run, block_);
    }
    for (size_t k = 0; k < got; ++k) {
      std::span<uint8_t> bytes(block_.data() + k * kPageSize, kPageSize);
      RepairTornPage(bytes);
      ByteView page(bytes.data(), bytes.size());
      if (!visit(pages[i + k], &page)) return false;
    }
    // What the block read did not bring (or a run of one), page by page.
    for (size_t k = got; k < run; ++k) {
      std::optional<Page> page = store_.ReadPage(pages[i + k]);
      ByteView view = page ? page->view() : ByteView();
      if (!visit(pages[i + k], page ? &view : nullptr)) return false;
    }
    i += run;
  }
  return true;
}

}  // namespace tollamer
