// The page store: opens a data file or a full backup ("TAPE") file, settles
// where page 0 lies, and hands out pages by number with torn bits repaired.
// It never writes to the file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/page.h"
#include "engine/pagestore/page_header.h"
#include "platform/file.h"

namespace tollamer {

// A Microsoft Tape Format backup begins with the four bytes "TAPE"; its page
// data follows a tape header of one of these sizes.
inline constexpr char kTapeMagic[4] = {'T', 'A', 'P', 'E'};
inline constexpr uint32_t kBackupBaseOffsets[] = {0x1600, 0x1A00, 0x3200};
inline constexpr char kBackupFormatMessage[] = "备份文件格式读取错误！";

enum class FileKind { kData, kBackup };

class PageStore {
 public:
  explicit PageStore(EngineMessages& messages) : messages_(messages) {}

  // Opens `path` read-only and exclusively; true on success. A backup whose
  // page data is at none of the known offsets shows the backup-format
  // message and is not opened.
  bool OpenFile(const std::string& path);
  void Close();

  bool IsOpen() const { return file_ != nullptr; }
  FileKind Kind() const { return kind_; }
  uint32_t PageBaseOffset() const { return base_offset_; }
  uint64_t FileLength() const { return file_ ? file_->Length() : 0; }
  // File length / 8192; a trailing partial page is not counted and the base
  // offset is not subtracted.
  uint64_t PageCount() const { return FileLength() / page_layout::kPageSize; }
  // Why the last OpenFile failed, for the CLI's error line.
  const std::string& LastError() const { return last_error_; }
  platform::OpenError LastOpenError() const { return last_open_error_; }

  // The page with its torn bits restored; nothing on a short read.
  std::optional<Page> ReadPage(uint64_t page_number) const;
  // The page exactly as stored.
  std::optional<Page> ReadRawPage(uint64_t page_number) const;
  // The first 96 bytes, decoded; sector 0 is never touched by the repair.
  std::optional<PageHeader> ReadHeader(uint64_t page_number) const;
  // The first `length` bytes of a page (at most a page).
  std::optional<std::vector<uint8_t>> ReadPrefix(uint64_t page_number, size_t length) const;

  // Reads pages [first, first + count) with one sequential read into `out`
  // (count * 8192 bytes); returns how many whole pages arrived.
  size_t ReadPageBlock(uint64_t first, size_t count, std::span<uint8_t> out) const;

 private:
  bool Addressable(uint64_t page_number) const;
  uint64_t PagePosition(uint64_t page_number) const {
    return base_offset_ + page_number * page_layout::kPageSize;
  }

  EngineMessages& messages_;
  std::unique_ptr<platform::ReadOnlyFile> file_;
  FileKind kind_ = FileKind::kData;
  uint32_t base_offset_ = 0;
  std::string last_error_;
  platform::OpenError last_open_error_ = platform::OpenError::kNone;
};

// Calls `visit(page_number, raw_page_bytes)` for every whole page in
// [first, end) in ascending order, reading the file in large sequential
// blocks. Pages that could not be read are skipped. `visit` returns false to
// stop early. The bytes are as stored (no torn-bit repair).
void ForEachPageInBlocks(const PageStore& store, uint64_t first, uint64_t end,
                         const std::function<bool(uint64_t, ByteView)>& visit);

}  // namespace tollamer
