// Backup to data file: the backup is read as a plain run of 512-byte
// sectors; every sector that begins a page (IsBackupPageStart) is written,
// with the fifteen sectors after it, at its own page number * 8192 in the
// new data file. The tape format itself is not interpreted, so pages are
// found wherever the backup holds them. A compressed backup is walked
// through its decoded stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/file_gaps.h"
#include "engine/pagestore/page_store.h"
#include "engine/source/compressed_backup.h"
#include "platform/file.h"

namespace tollamer::tools {

// No sector of the file begins a page: it is not a backup; nothing written.
inline constexpr char kNoPagesInBackupText[] = "no SQL Server page found: not a backup file";

struct ConversionResult {
  bool completed = false;         // every sector walked, the file committed
  bool stopped = false;
  uint64_t sectors = 0;           // whole sectors in the backup
  uint64_t pagesWritten = 0;      // page starts written (incomplete ones included)
  uint64_t incompletePages = 0;   // pages whose rest ran past the end of the backup
  uint64_t highestPage = 0;       // valid when pagesWritten > 0
  uint64_t compressedBlocks = 0;  // a compressed backup's blocks
  CompressedLosses losses;        // ... that did not decode: their pages are missing
  // What the backup lacks of its database (a head, a tail, a stripe,
  // allocated extents), measured when it was opened: the data files lack
  // the same pages.
  FileGaps gaps;
  std::vector<uint16_t> missingStripes;
  uint16_t stripes = 0;
  std::string error;              // why the run failed
  // The secondary data files written beside the data file, by file id order.
  std::vector<std::string> secondaryFiles;
};

class ConversionObserver {
 public:
  virtual ~ConversionObserver() = default;
  // The progress position 0..100, at most about thirty times a second.
  virtual void OnProgress(int percent) {}
};

// Walks `backup` and writes the pages into `out` (not committed here).
ConversionResult ConvertBackup(const platform::ReadOnlyFile& backup, platform::OutputFile& out,
                               const std::atomic<bool>& running, ConversionObserver& observer);

// The whole tool: opens the backup (read only), creates the data file,
// converts, and commits the data file only when every write succeeded. A
// failure shows its message; a stopped run leaves no data file.
ConversionResult ConvertBackupFile(const std::string& backup_path, const std::string& mdf_path,
                                   const std::atomic<bool>& running, ConversionObserver& observer,
                                   EngineMessages& messages);

// Writes every page of file `file_id` of the database `store` holds at its
// own page number: the stripes of a striped backup merged, one backup set
// of a file holding several.
ConversionResult ConvertStore(const PageStore& store, platform::OutputFile& out,
                              const std::atomic<bool>& running, ConversionObserver& observer,
                              uint16_t file_id = kFirstFileId);

// Where a backup of a database of several files puts file `file_id` (not
// the primary): beside the data file, "OUT_3.ndf" for "OUT.mdf".
std::string SecondaryFilePath(const std::string& mdf_path, uint16_t file_id);

// The files of one backup (its stripes, in any order) into one data file,
// through the page store: used when several files are given, a backup set
// is asked for, or the one file holds several backup sets or pages of
// several database files (one data file each, SecondaryFilePath);
// otherwise the sector walk of ConvertBackupFile. Files that are not one
// backup are refused, saying why.
ConversionResult ConvertBackupFiles(const std::vector<std::string>& backup_paths,
                                    const StoreOpenOptions& options, const std::string& mdf_path,
                                    const std::atomic<bool>& running, ConversionObserver& observer,
                                    EngineMessages& messages);

}  // namespace tollamer::tools
