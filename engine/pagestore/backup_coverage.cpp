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

namespace {

// One file of the database: its GAM pages, and the extents they mark.
void MeasureFile(const PageStore& store, uint16_t file_id, PfsAllocation& pfs,
                 BackupCoverage& coverage) {
  // A backup that lost its tail holds no page of the last extents its file
  // header counts: they are judged too.
  const uint64_t declared = file_id == kFirstFileId ? store.DeclaredPageCount().value_or(0) : 0;
  const uint64_t pages = std::max(store.PageCountOf(file_id), declared);
  const uint64_t extents = (pages + kPagesPerExtent - 1) / kPagesPerExtent;
  const uint64_t base = FirstKeyOf(file_id);
  const bool data_file = store.Kind() == FileKind::kData;
  for (uint64_t interval = 0; interval * kPagesPerInterval + kFirstGamPage < pages; ++interval) {
    ++coverage.intervalsUnread;
    std::optional<Page> gam = store.ReadPage(base + interval * kPagesPerInterval + kFirstGamPage);
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
        const uint64_t page = base + e * kPagesPerExtent + k;
        if (data_file && !store.Holds(page) && pfs.IsAllocated(page)) held = false;
        if (!data_file && store.Holds(page)) held = true;
      }
      if (!held) ++coverage.extentsMissing;
    }
  }
}

}  // namespace

BackupCoverage MeasureBackupCoverage(const PageStore& store) {
  BackupCoverage coverage;
  PfsAllocation pfs(store);
  std::vector<uint16_t> files = store.FileIds();
  if (files.empty() || files.front() != kFirstFileId) files.insert(files.begin(), kFirstFileId);
  for (uint16_t file : files) MeasureFile(store, file, pfs, coverage);
  return coverage;
}

}  // namespace tollamer
