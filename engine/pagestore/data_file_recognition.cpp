#include "engine/pagestore/data_file_recognition.h"

#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/page_start.h"

namespace tollamer {

using namespace page_layout;

bool HoldsDataPages(const PageStore& store) {
  bool found = false;
  ForEachHeldPage(store, [&](uint64_t, ByteView page) {
    found = page.LeOr<uint8_t>(kHeaderVersion) == kValidHeaderVersion &&
            IsKnownPageType(page.LeOr<uint8_t>(kType)) && page.AllZero(kReserved, kReservedSize);
    return !found;
  });
  return found;
}

}  // namespace tollamer
