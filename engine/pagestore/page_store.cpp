#include "engine/pagestore/page_store.h"

#include <algorithm>
#include <cstring>

#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

bool PageStore::OpenFile(const std::string& path) {
  Close();
  base_offset_ = 0;
  kind_ = FileKind::kData;
  last_error_.clear();
  last_open_error_ = platform::OpenError::kNone;

  platform::OpenResult opened = platform::OpenReadOnlyExclusive(path);
  if (!opened.file) {
    last_open_error_ = opened.error;
    last_error_ = opened.message;
    return false;
  }

  uint8_t magic[4] = {};
  if (opened.file->ReadAt(0, magic) != sizeof magic ||
      std::memcmp(magic, kTapeMagic, sizeof magic) != 0) {
    file_ = std::move(opened.file);
    return true;
  }

  // A backup: page data starts where a page header version (1) or the file
  // header page's type (15) is found.
  for (uint32_t candidate : kBackupBaseOffsets) {
    base_offset_ = candidate;
    uint8_t start[2] = {};
    if (opened.file->ReadAt(candidate, start) != sizeof start) continue;
    if (start[0] == kValidHeaderVersion ||
        start[1] == static_cast<uint8_t>(PageType::kFileHeader)) {
      kind_ = FileKind::kBackup;
      file_ = std::move(opened.file);
      return true;
    }
  }
  messages_.ShowStop(kBackupFormatMessage);
  last_error_ = "backup file: page data not found at any known offset";
  return false;
}

void PageStore::Close() { file_.reset(); }

bool PageStore::Addressable(uint64_t page_number) const {
  // Page n must start and end at a representable byte position.
  return file_ && page_number < (UINT64_MAX - base_offset_) / kPageSize;
}

std::optional<Page> PageStore::ReadRawPage(uint64_t page_number) const {
  if (!Addressable(page_number)) return std::nullopt;
  Page page = Page::ForOverwrite();
  if (file_->ReadAt(PagePosition(page_number), page.bytes()) != kPageSize) return std::nullopt;
  return page;
}

std::optional<Page> PageStore::ReadPage(uint64_t page_number) const {
  std::optional<Page> page = ReadRawPage(page_number);
  if (!page) return std::nullopt;
  RepairTornPage(page->bytes());
  return page;
}

std::optional<std::vector<uint8_t>> PageStore::ReadPrefix(uint64_t page_number,
                                                          size_t length) const {
  if (!Addressable(page_number) || length > kPageSize) return std::nullopt;
  std::vector<uint8_t> bytes(length);
  if (file_->ReadAt(PagePosition(page_number), bytes) != length) return std::nullopt;
  return bytes;
}

std::optional<PageHeader> PageStore::ReadHeader(uint64_t page_number) const {
  std::optional<std::vector<uint8_t>> bytes = ReadPrefix(page_number, kHeaderSize);
  if (!bytes) return std::nullopt;
  return PageHeader::Decode(ByteView(*bytes));
}

size_t PageStore::ReadPageBlock(uint64_t first, size_t count, std::span<uint8_t> out) const {
  if (!Addressable(first + count) || out.size() < count * kPageSize) return 0;
  size_t got = file_->ReadAt(PagePosition(first), out.first(count * kPageSize));
  return got / kPageSize;
}

void ForEachPageInBlocks(const PageStore& store, uint64_t first, uint64_t end,
                         const std::function<bool(uint64_t, ByteView)>& visit) {
  constexpr size_t kBlockPages = 256;  // 2 MiB per read
  std::vector<uint8_t> block(kBlockPages * kPageSize);
  for (uint64_t start = first; start < end;) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockPages, end - start));
    size_t got = store.ReadPageBlock(start, want, block);
    for (size_t i = 0; i < got; ++i) {
      if (!visit(start + i, ByteView(block.data() + i * kPageSize, kPageSize))) return;
    }
    if (got < want) {
      // A short block: fall back to single pages so that one bad read does
      // not hide the pages behind it.
      for (size_t i = got; i < want; ++i) {
        std::optional<Page> page = store.ReadRawPage(start + i);
        if (page && !visit(start + i, page->view())) return;
      }
    }
    start += want;
  }
}

}  // namespace tollamer
