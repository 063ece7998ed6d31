#include "engine/pagestore/page_store.h"

#include <algorithm>
#include <cstring>

#include "engine/pagestore/page_start.h"
#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

bool PageStore::OpenFile(const std::string& path) {
  Close();
  kind_ = FileKind::kData;
  map_ = PageMap();
  media_ = BackupMedia();
  refusal_ = OpenRefusal::kNone;
  refused_file_id_ = 0;
  last_error_.clear();
  last_open_error_ = platform::OpenError::kNone;

  platform::OpenResult opened = platform::OpenReadOnlyExclusive(path);
  if (!opened.file) {
    last_open_error_ = opened.error;
    last_error_ = opened.message;
    return false;
  }

  uint8_t magic[4] = {};
  if (opened.file->ReadAt(0, magic) == sizeof magic &&
      std::memcmp(magic, kTapeMagic, sizeof magic) == 0)
    return OpenBackup(std::move(opened.file));
  if (HasCompressedBackupHead(*opened.file)) return OpenCompressedBackup(std::move(opened.file));
  return OpenDataFile(std::move(opened.file));
}

bool PageStore::OpenBackup(std::unique_ptr<platform::ReadOnlyFile> file) {
  media_ = ReadBackupMedia(*file);
  map_ = PageMap::ScanBackup(*file);
  if (map_.PagesHeld() > 0) {
    kind_ = FileKind::kBackup;
    file_ = std::move(file);
    return true;
  }
  map_ = PageMap();
  if (BackupStreamLooksScrambled(*file)) {
    // SQL Server's own compression writes an "MSSQLBAK" file: a "TAPE"
    // file whose stream is scrambled was encrypted (or compressed by
    // another program).
    refusal_ = OpenRefusal::kBackupEncrypted;
    last_error_ = "backup file: its data is encrypted (no page image in the clear)";
    return false;
  }
  refusal_ = OpenRefusal::kBackupWithoutPages;
  messages_.Notify(EngineNotice::kBackupFormatUnknown);
  last_error_ = "backup file: it holds no page data";
  return false;
}

bool PageStore::OpenCompressedBackup(std::unique_ptr<platform::ReadOnlyFile> file) {
  DecodedBackupOpen opened = OpenDecodedBackup(std::move(file));
  if (!opened.file) {
    refusal_ = OpenRefusal::kBackupCompressed;
    last_error_ = "backup file: " + opened.refusal + ": not decoded";
    return false;
  }
  const DecodedBackupFile* stream = opened.file.get();
  if (!OpenBackup(std::move(opened.file))) return false;
  decoded_ = stream;
  return true;
}

bool PageStore::OpenDataFile(std::unique_ptr<platform::ReadOnlyFile> file) {
  DataFileStart start = FindDataFileStart(*file);
  if (start.fileId != kPrimaryFileId) {
    refusal_ = OpenRefusal::kSecondaryFile;
    refused_file_id_ = start.fileId;
    last_error_ = "a secondary data file (file id " + std::to_string(start.fileId) +
                  "): it holds no boot page or system tables; open the database's primary file";
    return false;
  }
  const uint64_t length = file->Length();
  map_ = PageMap::Contiguous(start.base, length > start.base ? (length - start.base) / kPageSize : 0);
  file_ = std::move(file);
  return true;
}

void PageStore::Close() {
  decoded_ = nullptr;
  file_.reset();
}

std::optional<Page> PageStore::ReadRawPage(uint64_t page_number) const {
  std::optional<uint64_t> at = PagePosition(page_number);
  if (!at) return std::nullopt;
  Page page = Page::ForOverwrite();
  if (file_->ReadAt(*at, page.bytes()) != kPageSize) return std::nullopt;
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
  std::optional<uint64_t> at = PagePosition(page_number);
  if (!at || length > kPageSize) return std::nullopt;
  std::vector<uint8_t> bytes(length);
  if (file_->ReadAt(*at, bytes) != length) return std::nullopt;
  return bytes;
}

std::optional<PageHeader> PageStore::ReadHeader(uint64_t page_number) const {
  std::optional<std::vector<uint8_t>> bytes = ReadPrefix(page_number, kHeaderSize);
  if (!bytes) return std::nullopt;
  return PageHeader::Decode(ByteView(*bytes));
}

size_t PageStore::ReadPageBlock(uint64_t first, size_t count, std::span<uint8_t> out) const {
  if (!file_ || out.size() / kPageSize < count) return 0;
  size_t done = 0;
  while (done < count) {
    // One read per run of pages that lie one after another in the file.
    uint64_t run = map_.RunLength(first + done, count - done);
    std::optional<uint64_t> at = PagePosition(first + done);
    if (run == 0 || !at) break;
    size_t bytes = static_cast<size_t>(run) * kPageSize;
    size_t got = file_->ReadAt(*at, out.subspan(done * kPageSize, bytes)) / kPageSize;
    done += got;
    if (got < run) break;
  }
  return done;
}

void ForEachPageInBlocks(const PageStore& store, uint64_t first, uint64_t end,
                         const std::function<bool(uint64_t, ByteView)>& visit) {
  constexpr size_t kBlockPages = 256;  // 2 MiB per read
  if (first >= end) return;
  std::vector<uint8_t> block(std::min<uint64_t>(kBlockPages, end - first) * kPageSize);
  for (uint64_t start = first; start < end;) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockPages, end - start));
    size_t got = store.ReadPageBlock(start, want, block);
    for (size_t i = 0; i < got; ++i) {
      if (!visit(start + i, ByteView(block.data() + i * kPageSize, kPageSize))) return;
    }
    if (got < want) {
      // A page the file does not hold, or one that could not be read: skip
      // it and go on from the next page the file holds, so that one bad
      // read does not hide the pages behind it and a backup whose pages
      // lie far apart is not walked one missing page at a time.
      std::optional<uint64_t> next = store.NextHeld(start + got + 1);
      if (!next) return;
      start = *next;
      continue;
    }
    start += want;
  }
}

}  // namespace tollamer
