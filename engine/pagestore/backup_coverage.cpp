#include "engine/pagestore/backup_coverage.h"

#include <algorithm>

#include "engine/pagestore/iam_layout.h"
#include "engine/pagestore/pfs_allocation.h"

namespace tollamer {

using namespace page_layout;
using namespace iam_layout;

namespace {
constexpr uint64_t kFirstGamPage = 2;
}  // namespace

BackupCoverage MeasureBackupCoverage(const PageStore& store) {
  BackupCoverage coverage;
  // A backup that lost its tail holds no page of the last extents its file
  // header counts: they are judged too.
  const uint64_t pages = std::max(store.PageCount(), store.DeclaredPageCount().value_or(0));
  const uint64_t extents = (pages + kPagesPerExtent - 1) / kPagesPerExtent;
  const bool data_file = store.Kind() == FileKind::kData;
  PfsAllocation pfs(store);
  for (uint64_t interval = 0; interval * kPagesPerInterval + kFirstGamPage < pages; ++interval) {
    ++coverage.intervalsUnread;
    std::optional<Page> gam = store.ReadPage(interval * kPagesPerInterval + kFirstGamPage);
    if (!gam) continue;
    std::optional<PageHeader> h = PageHeader::Decode(gam->view());
    if (!h || !h->HasType(PageType::kGam)) continue;
    std::optional<uint16_t> slot = SlotOffset(gam->view(), kBitmapRecordSlot);
    if (!slot || *slot < kHeaderSize) continue;
    --coverage.intervalsUnread;
    ByteView bits = gam->view().From(size_t{*slot} + kRecordHeaderSize);
    coverage.allocationKnown = true;
    const uint64_t first = interval * kExtentsPerInterval;
    const uint64_t end = std::min(extents, first + kExtentsPerInterval);
    for (uint64_t e = first; e < end; ++e) {
      const uint64_t i = e - first;
      std::optional<uint8_t> byte = bits.U8(i / 8);
      if (!byte) break;
      if (*byte & (1u << (i % 8))) continue;  // free
      // A backup holds an extent when it holds any of its pages (pages
      // never written are not found in its stream); a data file cut short
      // unless a page past its end is one the PFS pages mark allocated.
      bool held = data_file;
      for (uint64_t k = 0; k < kPagesPerExtent; ++k) {
        const uint64_t page = e * kPagesPerExtent + k;
        if (data_file && !store.Holds(page) && pfs.IsAllocated(page)) held = false;
        if (!data_file && store.Holds(page)) held = true;
      }
      if (!held) ++coverage.extentsMissing;
    }
  }
  return coverage;
}

}  // namespace tollamer
