// The page store: opens a data file or a full backup ("TAPE") file, or a
// compressed backup ("MSSQLBAK") through its decoded stream, settles
// where each page lies (page_map.h), and hands out pages by number with torn
// bits repaired. It never writes to the file.
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
#include "engine/pagestore/page_map.h"
#include "engine/pagestore/backup_media.h"
#include "engine/source/compressed_backup.h"
#include "platform/file.h"

namespace tollamer {

// A Microsoft Tape Format backup begins with the four bytes "TAPE".
inline constexpr char kTapeMagic[4] = {'T', 'A', 'P', 'E'};

enum class FileKind { kData, kBackup };

// Why an opened file was not taken as a primary data file or backup.
enum class OpenRefusal {
  kNone,
  kBackupWithoutPages,  // a "TAPE" file holding no page images at all
  kBackupCompressed,    // compressed with an algorithm other than MS_XPRESS
  kBackupEncrypted,     // a "TAPE" file whose data stream is scrambled
  kSecondaryFile,       // page 0 is the file header of a file other than 1
};

class PageStore {
 public:
  explicit PageStore(EngineMessages& messages) : messages_(messages) {}

  // Opens `path` read-only and exclusively; true on success. A backup is
  // mapped in one pass over its sectors; one that holds no page images
  // shows the backup-format message and is not opened. A data file whose
  // page 0 does not lie at byte 0 (junk before it) is read from where its
  // page headers place it.
  bool OpenFile(const std::string& path);
  void Close();

  bool IsOpen() const { return file_ != nullptr; }
  FileKind Kind() const { return kind_; }
  // Byte position of page 0 (of the first page a backup holds).
  uint64_t PageBaseOffset() const { return map_.FirstOffset(); }
  uint64_t FileLength() const { return file_ ? file_->Length() : 0; }
  // Highest page the file holds + 1; a trailing partial page is not counted.
  uint64_t PageCount() const { return map_.PageCount(); }
  // Pages the file holds; below PageCount when a backup leaves extents out.
  uint64_t PagesHeld() const { return map_.PagesHeld(); }
  // A backup's media family (stripe) and whether its stream was readable.
  const BackupMedia& Media() const { return media_; }
  OpenRefusal Refusal() const { return refusal_; }
  // The decoded stream of a compressed backup (its blocks and the damaged
  // ones among them); null for any other file.
  const DecodedBackupFile* Decoded() const { return decoded_; }
  // The secondary file's own id when Refusal() is kSecondaryFile.
  uint16_t RefusedFileId() const { return refused_file_id_; }
  // Why the last OpenFile failed, for the CLI's error line.
  const std::string& LastError() const { return last_error_; }
  platform::OpenError LastOpenError() const { return last_open_error_; }

  // True when the file holds an image of `page_number`.
  bool Holds(uint64_t page_number) const { return PagePosition(page_number).has_value(); }
  // The first page at or after `page_number` that the file holds.
  std::optional<uint64_t> NextHeld(uint64_t page_number) const {
    return file_ ? map_.NextHeld(page_number) : std::nullopt;
  }
  // The page with its torn bits restored; nothing on a short read.
  std::optional<Page> ReadPage(uint64_t page_number) const;
  // The page exactly as stored.
  std::optional<Page> ReadRawPage(uint64_t page_number) const;
  // The first 96 bytes, decoded; sector 0 is never touched by the repair.
  std::optional<PageHeader> ReadHeader(uint64_t page_number) const;
  // The first `length` bytes of a page (at most a page).
  std::optional<std::vector<uint8_t>> ReadPrefix(uint64_t page_number, size_t length) const;

  // Reads pages [first, first + count) into `out` (count * 8192 bytes), in
  // as few sequential reads as the file's layout allows; returns how many
  // whole pages arrived before the first one that did not.
  size_t ReadPageBlock(uint64_t first, size_t count, std::span<uint8_t> out) const;

 private:
  std::optional<uint64_t> PagePosition(uint64_t page_number) const {
    return file_ ? map_.Offset(page_number) : std::nullopt;
  }
  bool OpenBackup(std::unique_ptr<platform::ReadOnlyFile> file);
  bool OpenCompressedBackup(std::unique_ptr<platform::ReadOnlyFile> file);
  bool OpenDataFile(std::unique_ptr<platform::ReadOnlyFile> file);

  EngineMessages& messages_;
  std::unique_ptr<platform::ReadOnlyFile> file_;
  const DecodedBackupFile* decoded_ = nullptr;  // file_ itself, when compressed
  FileKind kind_ = FileKind::kData;
  PageMap map_;
  BackupMedia media_;
  OpenRefusal refusal_ = OpenRefusal::kNone;
  uint16_t refused_file_id_ = 0;
  std::string last_error_;
  platform::OpenError last_open_error_ = platform::OpenError::kNone;
};

// Calls `visit(page_number, raw_page_bytes)` for every whole page in
// [first, end) in ascending order, reading the file in large sequential
// blocks. Pages that could not be read are skipped. `visit` returns false to
// stop early. The bytes are as stored (no torn-bit repair).
void ForEachPageInBlocks(const PageStore& store, uint64_t first, uint64_t end,
                         const std::function<bool(uint64_t, ByteView)>& visit);

// Told (pages done, pages in all) while a whole-file scan runs.
using ScanProgress = std::function<void(uint64_t, uint64_t)>;

}  // namespace tollamer
