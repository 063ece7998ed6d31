// The IAM chain walk and the single-page slots, from every page of a file.
#include <algorithm>

#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/page_store.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tollamer::SilentMessages messages;
  tollamer::PageStore store(messages);
  if (!store.OpenFile(tollamer::fuzz::WriteScratchFile({data, size}))) return 0;
  const uint64_t pages = std::min<uint64_t>(store.PageCount(), 128);
  for (uint64_t p = 0; p < pages; ++p) {
    std::vector<uint64_t> extents;
    (void)tollamer::WalkIamChain(store, p, extents);
    (void)tollamer::ReadIamSinglePages(store, p);
  }
  return 0;
}
