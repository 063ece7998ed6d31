#include "engine/pagestore/pfs_allocation.h"

#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/pfs_layout.h"

namespace tollamer {

bool PfsAllocation::IsAllocated(uint64_t page_key) {
  // PFS pages map the pages of their own file.
  const uint32_t page = PageIdOfKey(page_key);
  const uint64_t pfs_page = FirstKeyOf(FileIdOfKey(page_key)) + pfs_layout::PfsPageOf(page);
  auto it = pfs_.find(pfs_page);
  if (it == pfs_.end()) {
    std::optional<Page> read = store_->ReadPage(pfs_page);
    std::optional<PageHeader> header;
    if (read) header = PageHeader::Decode(read->view());
    const bool usable =
        header && header->HasType(page_layout::PageType::kPfs) &&
        read->view().U16(pfs_layout::kRecordLength) == pfs_layout::kExpectedRecordLength &&
        store_->CheckOf(pfs_page) == PageCheck::kGood;
    it = pfs_.emplace(pfs_page, usable ? std::move(read) : std::nullopt).first;
  }
  if (!it->second) return true;
  std::optional<uint8_t> entry = it->second->view().U8(pfs_layout::EntryOffsetOf(page));
  return !entry || (*entry & pfs_layout::kAllocatedBit) != 0;
}

}  // namespace tollamer
