// Where a file holds each page of the primary data file.
//
// A data file holds page n at byte base + n * 8192: one run from page 0.
//
// A full backup (Microsoft Tape Format) carries the database's allocated
// extents as 8192-byte page images in its data stream. Each image starts on
// a 512-byte boundary, the images come in ascending page order, but extents
// the database never allocated are left out and tape blocks sit between
// groups of pages, so page n is not at any fixed position. The map is built
// by one sequential pass over the sectors: a sector that begins a page of
// file 1 (IsBackupPageStart) places that page and its fifteen following
// sectors are its body. A page found twice in one backup set keeps the
// image found last, as the backup converter writes it; each backup set of
// the file (backup_set.h) gets a map of its own, so that the pages of two
// backups appended to one file never mix.
//
// The map can place pages from several sources (the files of a striped
// backup, the files of a database): each run names the source its bytes lie
// in. Pages are page keys (page_address.h); a backup of a database of
// several files holds pages of each, told apart by the file id in their
// headers.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "engine/pagestore/backup_set.h"
#include "platform/file.h"

namespace tollamer {

// Pages [firstPage, firstPage + count) lie one after another from byte
// fileOffset.
struct PageRun {
  uint64_t firstPage = 0;
  uint64_t count = 0;
  uint64_t fileOffset = 0;
  uint32_t source = 0;  // which of the store's files holds them
};

// Where one page lies: in which source, at which byte.
struct PageLocation {
  uint32_t source = 0;
  uint64_t offset = 0;
};

struct BackupSetPages;

class PageMap {
 public:
  // Page n at base + n * 8192 for n below `pages`.
  static PageMap Contiguous(uint64_t base, uint64_t pages, uint32_t source = 0);
  // One pass over the sectors of a backup file: the pages of each backup
  // set in its own map (one set, numbered 1, when the file names none),
  // placed as lying in `source`. The first sector is at byte `first` (a
  // backup whose head is lost keeps its sectors wherever the cut fell).
  static std::vector<BackupSetPages> ScanBackup(const platform::ReadOnlyFile& file,
                                                uint32_t source = 0, uint64_t first = 0);

  // Byte position of `page`, or nothing when the file does not hold it.
  std::optional<uint64_t> Offset(uint64_t page) const;
  std::optional<PageLocation> Locate(uint64_t page) const;
  // How many pages from `page` on (at most `limit`) lie one after another.
  uint64_t RunLength(uint64_t page, uint64_t limit) const;
  // The first page at or after `page` that the file holds.
  std::optional<uint64_t> NextHeld(uint64_t page) const;

  // Highest page held + 1; 0 when none.
  uint64_t PageCount() const;
  // Highest page held in [first, end) + 1; `first` when none.
  uint64_t EndWithin(uint64_t first, uint64_t end) const;
  // Pages actually held (a backup leaves unallocated extents out).
  uint64_t PagesHeld() const { return held_; }
  // Byte position of page 0's image, or of the first page held.
  uint64_t FirstOffset() const;

  // Places a run; pages it covers that an earlier run placed are moved to it.
  void Place(PageRun run);
  // Places every run of `other` (another stripe's pages).
  void Merge(const PageMap& other);

 private:
  std::map<uint64_t, PageRun> runs_;  // by firstPage, never overlapping
  uint64_t held_ = 0;
};

struct BackupSetPages {
  BackupSetHeader header;
  PageMap map;
};

}  // namespace tollamer
