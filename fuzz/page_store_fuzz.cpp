// The page store on a whole file: open (data or backup), page reads with
// torn-bit repair, header decoding, block reads and the version guess; and
// the torn-page repair on a page of the input with its own torn bits.
#include <algorithm>

#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_store.h"
#include "engine/pagestore/server_version.h"
#include "engine/pagestore/torn_page.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  std::vector<uint8_t> first = tollamer::fuzz::FirstPage(input);
  (void)tollamer::FixTornPage(first, tollamer::fuzz::U32At(input, 0x3C),
                              tollamer::fuzz::U16At(input, 0x04));

  tollamer::SilentMessages messages;
  tollamer::PageStore store(messages);
  if (!store.OpenFile(tollamer::fuzz::WriteScratchFile(input))) return 0;
  const uint64_t pages = std::min<uint64_t>(store.PageCount() + 1, 256);
  for (uint64_t p = 0; p < pages; ++p) {
    if (auto page = store.ReadPage(p)) {
      if (auto header = tollamer::PageHeader::Decode(page->view())) {
        (void)tollamer::IsPlausibleDataPage(*header);
        for (size_t slot = 0; slot < header->slotCnt && slot < 1024; ++slot)
          (void)tollamer::SlotOffset(page->view(), slot);
      }
    }
    (void)store.ReadHeader(p);
    (void)store.ReadPrefix(p, tollamer::page_layout::kHeaderSize + (p % 200));
  }
  size_t blocks = 0;
  tollamer::ForEachPageInBlocks(store, 0, store.PageCount(),
                                [&](uint64_t, tollamer::ByteView) { return ++blocks < 512; });
  (void)tollamer::DetectServerVersion(store);
  return 0;
}
