// The page store: opens a data file or a full backup ("TAPE") file (a
// compressed one, "MSSQLBAK", through its decoded stream), or the
// several files of one striped backup together, or the primary data file
// of a database with its secondary files, settles where each page lies
// (page_map.h), and hands out pages by page key (page_address.h: file id
// and page id) with torn bits repaired. Of a backup file holding several
// backup sets it reads one. It never writes to its files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/page.h"
#include "engine/pagestore/page_address.h"
#include "engine/pagestore/page_check.h"
#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_kinds.h"
#include "engine/pagestore/page_map.h"
#include "engine/pagestore/backup_media.h"
#include "engine/source/compressed_backup.h"
#include "platform/file.h"

namespace tollamer {

// A Microsoft Tape Format backup begins with the four bytes "TAPE".
inline constexpr char kTapeMagic[4] = {'T', 'A', 'P', 'E'};

enum class FileKind { kData, kBackup };

struct DataFileStart;
struct FileLayout;

// Why an opened file was not taken as a primary data file or backup.
enum class OpenRefusal {
  kNone,
  kBackupWithoutPages,  // a "TAPE" file holding no page images at all
  kBackupCompressed,    // compressed with an algorithm other than MS_XPRESS
  kBackupEncrypted,     // a "TAPE" file whose data stream is scrambled
  kSecondaryFile,       // page 0 is the file header of a file other than 1
  kNotTogether,         // several files given that are not one database
  kNoSuchBackupSet,     // the backup set asked for is not in the file
};

struct StoreOpenOptions {
  // The backup set to read, from 1; 0: the last full backup set.
  uint16_t backupSet = 0;
  // A secondary data file given alone is opened for its pages (it holds no
  // catalog: its tables come from a schema given) rather than refused.
  bool secondaryAlone = false;
};

// One backup set of the opened backup, with its pages over every stripe given.
struct BackupSetSummary {
  BackupSetHeader header;
  uint64_t pagesHeld = 0;
  std::string databaseName;  // from the set's boot page; empty when unknown
};

// One file the store reads from.
struct StoreSource {
  std::string path;
  std::unique_ptr<platform::ReadOnlyFile> file;
  BackupMedia media;        // backups only
  uint64_t pagesHeld = 0;   // of the backup set read
  uint16_t fileId = 0;      // data files: which file of the database it is
};

// A file of the database as the primary file's list of files names it
// (catalog/database_files.h), and where it was found.
struct DatabaseFileRecord {
  uint16_t fileId = 0;
  std::string logicalName;
  std::string physicalPath;  // as the server recorded it
  bool log = false;          // a log file: never read
  std::string openedPath;    // empty: not found, or a log file
  std::string whyNotOpened;  // when it was found but not taken
};

class PageStore {
 public:
  explicit PageStore(EngineMessages& messages) : messages_(messages) {}

  // Opens `path` read-only and exclusively; true on success. A backup is
  // mapped in one pass over its sectors; one that holds no page images
  // shows the backup-format message and is not opened. A data file whose
  // page 0 does not lie at byte 0 (junk before it) is read from where its
  // page headers place it; one backup file that lost its head is mapped
  // from the sectors its page images lie on (file_layout.h).
  bool OpenFile(const std::string& path) { return OpenFiles({path}); }
  // Several files of one database: the stripes of one backup, in any
  // order. Files that do not belong together are refused (kNotTogether,
  // LastError says why).
  bool OpenFiles(const std::vector<std::string>& paths, const StoreOpenOptions& options = {});
  void Close();

  bool IsOpen() const { return !sources_.empty(); }
  FileKind Kind() const { return kind_; }
  // Byte position of page 0 (of the first page a backup holds).
  uint64_t PageBaseOffset() const { return map_.FirstOffset(); }
  uint64_t FileLength() const { return IsOpen() ? sources_.front().file->Length() : 0; }
  // Highest page of file 1 (the primary) held + 1; a trailing partial page
  // is not counted.
  uint64_t PageCount() const { return PageCountOf(kFirstFileId); }
  // The same for file `file_id` of the database (0 when none is held).
  uint64_t PageCountOf(uint16_t file_id) const {
    return map_.EndWithin(FirstKeyOf(file_id), EndKeyOf(file_id)) - FirstKeyOf(file_id);
  }
  // Highest page key held + 1: the end of a scan over every file.
  uint64_t KeyEnd() const { return map_.PageCount(); }
  // Pages held in every file; below PageCount when a backup leaves extents
  // out.
  uint64_t PagesHeld() const { return map_.PagesHeld(); }
  // The files of the database the store holds pages of, ascending.
  std::vector<uint16_t> FileIds() const;
  bool HoldsFile(uint16_t file_id) const {
    std::optional<uint64_t> next = NextHeld(FirstKeyOf(file_id));
    return next && *next < EndKeyOf(file_id);
  }
  // File 1, a file held, or a data file the primary's list names.
  bool KnowsFile(uint16_t file_id) const;
  // The first backup file's media family (stripe) and whether its stream
  // was readable.
  const BackupMedia& Media() const { return media_; }
  // A backup that lost its first part (no TAPE block at byte 0) or its last
  // (no end-of-set block); judged when one file is opened.
  bool BackupHeadMissing() const { return head_missing_; }
  bool BackupTailMissing() const { return tail_missing_; }
  // The file size in pages that page 0's file header records; nothing when
  // page 0 is not held or does not read as one.
  std::optional<uint64_t> DeclaredPageCount() const { return declared_pages_; }
  // The files read, in the order given.
  const std::vector<StoreSource>& Sources() const { return sources_; }
  // The stripes of a striped backup that were not given, ascending.
  std::vector<uint16_t> MissingStripes() const;
  // Every backup set of the backup, in file order, and the one read.
  const std::vector<BackupSetSummary>& BackupSets() const { return sets_; }
  uint16_t BackupSetRead() const { return set_read_; }
  OpenRefusal Refusal() const { return refusal_; }
  // The decoded stream of the first compressed backup file read (its
  // blocks and the damaged ones among them); null when none is compressed.
  const DecodedBackupFile* Decoded() const;
  // The secondary file's own id when Refusal() is kSecondaryFile.
  uint16_t RefusedFileId() const { return refused_file_id_; }
  // Adds a secondary data file of the open database (a data file was
  // opened); false, with LastError saying why and the store as it was,
  // when it is no data file, a file id already held, or a file of another
  // database (its binding id differs from the primary's).
  bool AddDataFile(const std::string& path);
  // The files the primary file lists, found or not; empty when not read.
  const std::vector<DatabaseFileRecord>& DatabaseFiles() const { return database_files_; }
  void SetDatabaseFiles(std::vector<DatabaseFileRecord> files) { database_files_ = std::move(files); }
  // The data files the list names that are not open.
  std::vector<DatabaseFileRecord> MissingFiles() const;

  // Why the last OpenFile failed, for the CLI's error line.
  const std::string& LastError() const { return last_error_; }
  platform::OpenError LastOpenError() const { return last_open_error_; }

  // True when the file holds an image of `page_number`.
  bool Holds(uint64_t page_number) const { return PagePosition(page_number).has_value(); }
  // The first page at or after `page_number` that the file holds.
  std::optional<uint64_t> NextHeld(uint64_t page_number) const {
    return IsOpen() ? map_.NextHeld(page_number) : std::nullopt;
  }
  // The page with its torn bits restored; nothing on a short read.
  std::optional<Page> ReadPage(uint64_t page_number) const;
  // The page exactly as stored.
  std::optional<Page> ReadRawPage(uint64_t page_number) const;
  // The first 96 bytes, decoded; sector 0 is never touched by the repair.
  std::optional<PageHeader> ReadHeader(uint64_t page_number) const;
  // Whether the page's header gives it a data page's type (as ReadHeader
  // would say) when the map pass of a backup read in one file noted it;
  // nothing when it did not (a data file: ask ReadHeader).
  std::optional<bool> IsDataPage(uint64_t page_number) const {
    if (!data_pages_known_ || !IsOpen()) return std::nullopt;
    return data_pages_.Test(page_number);
  }
  // The first `length` bytes of a page (at most a page).
  std::optional<std::vector<uint8_t>> ReadPrefix(uint64_t page_number, size_t length) const;

  // Reads pages [first, first + count) into `out` (count * 8192 bytes), in
  // as few sequential reads as the file's layout allows; returns how many
  // whole pages arrived before the first one that did not.
  size_t ReadPageBlock(uint64_t first, size_t count, std::span<uint8_t> out) const;

  // Reading ahead (page_store_ahead.cpp). NotePageKinds notes the type and
  // object id of every page the file holds (page_kinds.h) in one pass in
  // file order, large sequential reads with the system told to read ahead,
  // for a walk that is about to ask them of pages all over the file; the
  // notes last until the next open, and no page is checked by the pass.
  void NotePageKinds() const;
  // The page's type and object id as ReadHeader gives them, from the notes
  // when made; nothing when the page cannot be read.
  std::optional<PageKind> KindOf(uint64_t page_number) const;
  // Tells the system that `pages` will be read soon, so that it starts
  // reading them; returns at once.
  void WillRead(std::span<const uint64_t> pages) const;

  // Every page ReadRawPage, ReadPage and ReadPageBlock hand out is checked
  // against its checksum or torn bits (page_check.h); the pages that fail
  // are kept here until the next open.
  const PageCheckFailures& CheckFailures() const { return *checks_; }
  // The failing verdict of a page read before; kGood when it did not fail.
  PageCheck CheckOf(uint64_t page_number) const { return checks_->Of(page_number); }
  // Checking on (the default) or off, to measure what it costs.
  void SetChecking(bool on) { checking_ = on; }

 private:
  std::optional<PageLocation> PagePosition(uint64_t page_number) const {
    return IsOpen() ? map_.Locate(page_number) : std::nullopt;
  }
  size_t ReadAt(const PageLocation& at, std::span<uint8_t> out) const {
    return sources_[at.source].file->ReadAt(at.offset, out);
  }
  bool Refuse(OpenRefusal refusal, std::string why);
  bool OpenBackups(const StoreOpenOptions& options, const FileLayout& layout);
  bool OpenDataFile(const DataFileStart& start);
  bool OpenDataFiles();
  // Places source `index` (a data file starting at `start`) as a secondary
  // file; the reason it cannot be taken otherwise.
  std::optional<std::string> PlaceSecondary(size_t index, const DataFileStart& start);
  void Check(uint64_t page_number, ByteView raw) const {
    if (checking_) checks_->Note(page_number, CheckPage(raw));
  }

  EngineMessages& messages_;
  std::vector<StoreSource> sources_;
  FileKind kind_ = FileKind::kData;
  PageMap map_;
  PageBits data_pages_;  // of a backup read in one file
  bool data_pages_known_ = false;
  BackupMedia media_;
  std::vector<BackupSetSummary> sets_;
  uint16_t set_read_ = 0;
  bool head_missing_ = false;
  bool tail_missing_ = false;
  std::optional<uint64_t> declared_pages_;
  OpenRefusal refusal_ = OpenRefusal::kNone;
  uint16_t refused_file_id_ = 0;
  std::string last_error_;
  platform::OpenError last_open_error_ = platform::OpenError::kNone;
  std::vector<DatabaseFileRecord> database_files_;
  bool secondary_alone_ = false;
  std::unique_ptr<PageCheckFailures> checks_ = std::make_unique<PageCheckFailures>();
  std::unique_ptr<PageKindNotes> kinds_ = std::make_unique<PageKindNotes>();
  bool checking_ = true;
};

// Calls `visit(page_number, raw_page_bytes)` for every whole page in
// [first, end) in ascending order, reading the file in large sequential
// blocks. Pages that could not be read are skipped. `visit` returns false to
// stop early. The bytes are as stored (no torn-bit repair).
void ForEachPageInBlocks(const PageStore& store, uint64_t first, uint64_t end,
                         const std::function<bool(uint64_t, ByteView)>& visit);
// The same over every page of every file the store holds, by page key.
inline void ForEachHeldPage(const PageStore& store,
                            const std::function<bool(uint64_t, ByteView)>& visit) {
  ForEachPageInBlocks(store, 0, store.KeyEnd(), visit);
}

// Told (pages done, pages in all) while a whole-file scan runs.
using ScanProgress = std::function<void(uint64_t, uint64_t)>;

}  // namespace tollamer
