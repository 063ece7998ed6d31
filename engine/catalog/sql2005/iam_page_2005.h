// An IAM page as the 2005/2008 locators use it: its type is checked and its
// eight single-page slots are taken from the same read of the page's first
// 190 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

struct IamPage {
  std::vector<uint64_t> singlePages;  // nonzero slots, in slot order
};

// Nothing when the page cannot be read or is not of type 10.
std::optional<IamPage> ReadIamPage(const PageStore& store, uint64_t page_number);

}  // namespace tollamer::sql2005
