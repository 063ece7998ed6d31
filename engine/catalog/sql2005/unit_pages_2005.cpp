#include "engine/catalog/sql2005/unit_pages_2005.h"

#include <algorithm>

namespace tollamer::sql2005 {

using namespace page_layout;

UnitPages2005 UnitPages2005::Scan(const PageStore& store) {
  UnitPages2005 scan;
  ForEachHeldPage(store, [&](uint64_t page, ByteView raw) {
    std::optional<PageHeader> h = PageHeader::Decode(raw);
    if (h && h->headerVersion == kValidHeaderVersion && h->HasType(PageType::kData))
      scan.pages_[UnitIdOfHeader(*h)].push_back(page);
    return true;
  });
  return scan;
}

std::vector<uint64_t> UnitPages2005::UnitIds() const {
  std::vector<uint64_t> ids;
  for (const auto& [unit, pages] : pages_) ids.push_back(unit);
  std::sort(ids.begin(), ids.end());
  return ids;
}

const std::vector<uint64_t>* UnitPages2005::PagesOf(uint64_t unit_id) const {
  auto it = pages_.find(unit_id);
  return it == pages_.end() ? nullptr : &it->second;
}

}  // namespace tollamer::sql2005
