// The three readers of large values: SQL 2000 text trees, SQL 2005/2008
// text trees and off-row (max) values behind an in-row pointer. The input
// is a file of whole pages followed by the reader's parameters:
//   TAIL OFFSET  SIZE  MEANING
//   0            4     page id (taken modulo the file's pages)
//   4            2     slot id
//   6            1     bit 0 Unicode, bit 1 root
//   7            1     type id of the off-row value
//   8            ...   the in-row pointer
#include <algorithm>

#include "engine/pagestore/page_store.h"
#include "engine/values/large_values.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  std::span<const uint8_t> tail = tollamer::fuzz::TailAfterPages(input);
  tollamer::SilentMessages messages;
  tollamer::PageStore store(messages);
  if (!store.OpenFile(tollamer::fuzz::WriteScratchFile(input)) || store.PageCount() == 0) return 0;
  const uint32_t page = tollamer::fuzz::U32At(tail, 0) % static_cast<uint32_t>(store.PageCount());
  const uint16_t slot = tollamer::fuzz::U16At(tail, 4);
  const uint8_t flags = tail.size() > 6 ? tail[6] : 0;
  const uint8_t type = tail.size() > 7 ? tail[7] : tollamer::value_type::kVarBinary;
  const bool unicode = flags & 1;
  const bool root = flags & 2;

  std::string value;
  tollamer::ReadTextValue(store, tollamer::kTextTree2000, page, slot, 1, value, root, unicode);
  value.clear();
  tollamer::ReadTextValue(store, tollamer::kTextTree2005, page, slot, 1, value, root, unicode);
  (void)tollamer::ReadTextFragment(store, tollamer::kTextTree2000, page, slot, 1);
  (void)tollamer::ReadTextFragment(store, tollamer::kTextTree2005, page, slot, 1);
  if (tail.size() > 8) {
    tollamer::ByteView pointer(tail.subspan(8));
    value.clear();
    tollamer::ReadOverflowValue(store, pointer, type, value);
    (void)tollamer::DecodeTextPointer(pointer);
  }
  return 0;
}
