#include "engine/pagestore/page_store.h"

#include <algorithm>
#include <cstring>

#include "engine/pagestore/file_header.h"
#include "engine/pagestore/file_layout.h"
#include "engine/pagestore/page_start.h"
#include "engine/pagestore/server_version.h"
#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

namespace {

std::string FileName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTapeFile(const platform::ReadOnlyFile& file) {
  uint8_t magic[4] = {};
  return file.ReadAt(0, magic) == sizeof magic && std::memcmp(magic, kTapeMagic, sizeof magic) == 0;
}

// The set a request names, or the last full one (the last holding pages
// when no set says it is full).
const BackupSetPages* ChooseSet(const std::vector<BackupSetPages>& sets, uint16_t wanted) {
  if (wanted != 0) {
    for (const BackupSetPages& s : sets)
      if (s.header.number == wanted) return &s;
    return nullptr;
  }
  const BackupSetPages* chosen = nullptr;
  for (const BackupSetPages& s : sets)
    if (s.map.PagesHeld() > 0 && s.header.type == BackupSetType::kFull) chosen = &s;
  if (chosen) return chosen;
  for (const BackupSetPages& s : sets)
    if (s.map.PagesHeld() > 0) chosen = &s;
  return chosen ? chosen : (sets.empty() ? nullptr : &sets.back());
}

}  // namespace

bool PageStore::OpenFiles(const std::vector<std::string>& paths, const StoreOpenOptions& options) {
  Close();
  kind_ = FileKind::kData;
  map_ = PageMap();
  data_pages_ = PageBits();
  data_pages_known_ = false;
  media_ = BackupMedia();
  sets_.clear();
  set_read_ = 0;
  head_missing_ = tail_missing_ = false;
  declared_pages_.reset();
  refusal_ = OpenRefusal::kNone;
  refused_file_id_ = 0;
  last_error_.clear();
  last_open_error_ = platform::OpenError::kNone;
  checks_->Clear();
  kinds_->Reset(0);
  database_files_.clear();
  secondary_alone_ = options.secondaryAlone;
  if (paths.empty()) return false;

  for (size_t i = 0; i < paths.size(); ++i) {
    std::optional<platform::FileIdentity> a = platform::IdentityOf(paths[i]);
    for (size_t k = 0; a && k < i; ++k)
      if (a == platform::IdentityOf(paths[k]))
        return Refuse(OpenRefusal::kNotTogether,
                      FileName(paths[k]) + " and " + FileName(paths[i]) + " are the same file");
  }
  std::vector<StoreSource> sources;
  for (const std::string& path : paths) {
    platform::OpenResult opened = platform::OpenReadOnlyExclusive(path);
    if (!opened.file) {
      last_open_error_ = opened.error;
      last_error_ = paths.size() > 1 ? path + ": " + opened.message : opened.message;
      return false;
    }
    if (HasCompressedBackupHead(*opened.file)) {
      // Read through the tape stream its blocks decode to.
      DecodedBackupOpen decoded = OpenDecodedBackup(std::move(opened.file));
      if (!decoded.file)
        return Refuse(OpenRefusal::kBackupCompressed,
                      (paths.size() > 1 ? path + ": " : std::string()) + "backup file: " +
                          decoded.refusal + ": not decoded");
      opened.file = std::move(decoded.file);
    }
    sources.push_back({path, std::move(opened.file), {}, 0});
  }
  size_t backups = 0;
  for (const StoreSource& s : sources) backups += IsTapeFile(*s.file) ? 1 : 0;
  // One file: a data file, a backup, or a backup that lost its head.
  const FileLayout layout = sources.size() == 1 ? ReadFileLayout(*sources.front().file) : FileLayout{};
  if (layout.headMissing) backups = 1;
  sources_ = std::move(sources);
  if (backups > 0 && backups < sources_.size())
    return Refuse(OpenRefusal::kNotTogether,
                  "a backup and a data file given together: open the files of one database "
                  "(the stripes of one backup, or one data file)");
  if (backups == 0 && sources_.size() > 1) {
    if (!OpenDataFiles()) return false;
  } else if (!(backups > 0 ? OpenBackups(options, layout) : OpenDataFile(layout.start))) {
    return false;
  }
  if (std::optional<Page> header = ReadPage(0)) declared_pages_ = FileSizeInPages(header->view());
  return true;
}

const DecodedBackupFile* PageStore::Decoded() const {
  for (const StoreSource& s : sources_)
    if (auto* decoded = dynamic_cast<const DecodedBackupFile*>(s.file.get())) return decoded;
  return nullptr;
}

bool PageStore::Refuse(OpenRefusal refusal, std::string why) {
  refusal_ = refusal;
  last_error_ = std::move(why);
  Close();
  map_ = PageMap();
  sets_.clear();
  return false;
}

bool PageStore::OpenBackups(const StoreOpenOptions& options, const FileLayout& layout) {
  // Every file's own sets first: a file with no page image at all is
  // refused as before, saying why.
  std::vector<std::vector<BackupSetPages>> scans;
  for (uint32_t i = 0; i < sources_.size(); ++i) {
    StoreSource& source = sources_[i];
    source.media = ReadBackupMedia(*source.file);
    scans.push_back(PageMap::ScanBackup(*source.file, i, layout.firstSector));
    uint64_t held = 0;
    for (const BackupSetPages& s : scans.back()) held += s.map.PagesHeld();
    if (held > 0) continue;
    const std::string prefix = sources_.size() > 1 ? source.path + ": " : std::string();
    // SQL Server's own compression writes an "MSSQLBAK" file: a "TAPE"
    // file whose stream is scrambled was encrypted (or compressed by
    // another program).
    if (BackupStreamLooksScrambled(*source.file))
      return Refuse(OpenRefusal::kBackupEncrypted,
                    prefix + "backup file: its data is encrypted (no page image in the clear)");
    messages_.Notify(EngineNotice::kBackupFormatUnknown);
    return Refuse(OpenRefusal::kBackupWithoutPages, prefix + "backup file: it holds no page data");
  }
  media_ = sources_.front().media;

  // The files must be distinct stripes of one media set.
  for (size_t i = 1; i < sources_.size(); ++i) {
    const BackupMedia& a = sources_.front().media;
    const BackupMedia& b = sources_[i].media;
    const std::string first = FileName(sources_.front().path), other = FileName(sources_[i].path);
    if (!a.described || !b.described || a.mediaSetId != b.mediaSetId || a.familyCount != b.familyCount)
      return Refuse(OpenRefusal::kNotTogether,
                    first + " and " + other + " are not files of one striped backup (their media "
                    "sets differ)");
    for (size_t k = 0; k < i; ++k)
      if (sources_[k].media.familySequence == b.familySequence)
        return Refuse(OpenRefusal::kNotTogether,
                      FileName(sources_[k].path) + " and " + other + " are both stripe " +
                          std::to_string(b.familySequence) + " of " + std::to_string(b.familyCount));
  }

  // One page map per backup set over all stripes, in the first file's set
  // order; the stripes of a set carry its number.
  std::vector<BackupSetPages> merged = scans.front();
  for (size_t i = 1; i < scans.size(); ++i) {
    for (BackupSetPages& set : scans[i]) {
      auto same = std::find_if(merged.begin(), merged.end(), [&](const BackupSetPages& m) {
        return m.header.number == set.header.number;
      });
      if (same == merged.end()) merged.push_back(std::move(set));
      else same->map.Merge(set.map);
    }
  }
  for (const BackupSetPages& set : merged) {
    BackupSetSummary summary{set.header, set.map.PagesHeld(), {}};
    if (std::optional<PageLocation> at = set.map.Locate(kBootPage)) {
      Page boot = Page::ForOverwrite();
      if (ReadAt(*at, boot.bytes()) == kPageSize)
        summary.databaseName = BootPageDatabaseName(boot.view()).value_or("");
    }
    sets_.push_back(std::move(summary));
  }
  const BackupSetPages* chosen = ChooseSet(merged, options.backupSet);
  if (!chosen || chosen->map.PagesHeld() == 0) {
    std::string numbers;
    for (const BackupSetSummary& s : sets_)
      numbers += (numbers.empty() ? "" : ", ") + std::to_string(s.header.number);
    const std::string wanted = std::to_string(options.backupSet);
    return Refuse(OpenRefusal::kNoSuchBackupSet,
                  chosen ? "backup set " + wanted + " holds no page image"
                         : "no backup set " + wanted + " in the file (it holds set" +
                               (sets_.size() > 1 ? "s " : " ") + numbers + ")");
  }
  set_read_ = chosen->header.number;
  map_ = chosen->map;
  // A page a striped backup holds twice keeps one stripe's image: the
  // stripes' notes are not merged, the headers are asked instead.
  data_pages_known_ = sources_.size() == 1;
  if (data_pages_known_) data_pages_ = chosen->dataPages;
  for (StoreSource& source : sources_) source.pagesHeld = 0;
  for (uint32_t i = 0; i < sources_.size(); ++i)
    for (const BackupSetPages& s : scans[i])
      if (s.header.number == set_read_) sources_[i].pagesHeld = s.map.PagesHeld();
  kind_ = FileKind::kBackup;
  head_missing_ = layout.headMissing;
  tail_missing_ = layout.tailMissing;
  return true;
}

std::vector<uint16_t> PageStore::MissingStripes() const {
  std::vector<uint16_t> missing;
  if (kind_ != FileKind::kBackup || !media_.Striped()) return missing;
  for (uint16_t family = 1; family <= media_.familyCount; ++family) {
    bool given = false;
    for (const StoreSource& s : sources_) given = given || s.media.familySequence == family;
    if (!given) missing.push_back(family);
  }
  return missing;
}

bool PageStore::OpenDataFile(const DataFileStart& start) {
  const platform::ReadOnlyFile& file = *sources_.front().file;
  if (start.fileId != kPrimaryFileId && secondary_alone_ && sources_.size() == 1) {
    // Placed as a secondary of no primary.
    if (std::optional<std::string> why = PlaceSecondary(0, start))
      return Refuse(OpenRefusal::kSecondaryFile, *why);
    return true;
  }
  if (start.fileId != kPrimaryFileId) {
    refused_file_id_ = start.fileId;
    return Refuse(OpenRefusal::kSecondaryFile,
                  "a secondary data file (file id " + std::to_string(start.fileId) +
                      "): it holds no boot page or system tables; open the database's primary file");
  }
  const uint64_t length = file.Length();
  map_ = PageMap::Contiguous(start.base, length > start.base ? (length - start.base) / kPageSize : 0);
  sources_.front().pagesHeld = map_.PagesHeld();
  sources_.front().fileId = kPrimaryFileId;
  return true;
}

bool PageStore::OpenDataFiles() {
  // The primary file first, whatever the order given.
  std::vector<DataFileStart> starts;
  for (const StoreSource& s : sources_) starts.push_back(FindDataFileStart(*s.file));
  std::optional<size_t> primary;
  for (size_t i = 0; i < starts.size(); ++i) {
    if (starts[i].fileId != kPrimaryFileId) continue;
    if (primary)
      return Refuse(OpenRefusal::kNotTogether, FileName(sources_[*primary].path) + " and " +
                                                   FileName(sources_[i].path) +
                                                   " are both primary files (file id 1)");
    primary = i;
  }
  if (!primary) {
    refused_file_id_ = starts.front().fileId;
    return Refuse(OpenRefusal::kSecondaryFile,
                  "secondary data files only (file ids " + [&] {
                    std::string ids;
                    for (const DataFileStart& s : starts)
                      ids += (ids.empty() ? "" : ", ") + std::to_string(s.fileId);
                    return ids;
                  }() + "): they hold no boot page or system tables; give the database's primary file with them");
  }
  std::swap(sources_[0], sources_[*primary]);
  std::swap(starts[0], starts[*primary]);
  if (!OpenDataFile(starts[0])) return false;
  for (size_t i = 1; i < sources_.size(); ++i)
    if (std::optional<std::string> why = PlaceSecondary(i, starts[i]))
      return Refuse(OpenRefusal::kNotTogether, FileName(sources_[i].path) + ": " + *why);
  return true;
}

std::optional<std::string> PageStore::PlaceSecondary(size_t index, const DataFileStart& start) {
  const uint16_t id = start.fileId;
  if (start.votes == 0) return "no SQL Server page in it: not a data file";
  if (id == kPrimaryFileId) return "a second primary file (file id 1)";
  for (size_t k = 0; k < sources_.size(); ++k)
    if (k != index && sources_[k].fileId == id)
      return "file id " + std::to_string(id) + " is " + FileName(sources_[k].path) + " already";
  // Page 0 of every file carries the database's binding id.
  Page header = Page::ForOverwrite();
  std::optional<BindingId> own;
  if (sources_[index].file->ReadAt(start.base, header.bytes()) == kPageSize)
    own = FileBindingId(header.view());
  std::optional<Page> primary = ReadPage(PageKey(kPrimaryFileId, 0));
  std::optional<BindingId> theirs = primary ? FileBindingId(primary->view()) : std::nullopt;
  if (own && theirs && *own != *theirs)
    return "a file of another database (its file header's binding id is not the primary file's)";
  const uint64_t length = sources_[index].file->Length();
  const uint64_t pages = length > start.base ? (length - start.base) / kPageSize : 0;
  map_.Place({FirstKeyOf(id), std::min<uint64_t>(pages, EndKeyOf(id) - FirstKeyOf(id)), start.base,
              static_cast<uint32_t>(index)});
  sources_[index].fileId = id;
  sources_[index].pagesHeld = pages;
  return std::nullopt;
}

bool PageStore::AddDataFile(const std::string& path) {
  last_error_.clear();
  if (!IsOpen() || kind_ != FileKind::kData) {
    last_error_ = "no data file is open to add " + FileName(path) + " to";
    return false;
  }
  std::optional<platform::FileIdentity> id = platform::IdentityOf(path);
  for (const StoreSource& s : sources_)
    if (id && id == platform::IdentityOf(s.path)) {
      last_error_ = FileName(path) + " is open already";
      return false;
    }
  platform::OpenResult opened = platform::OpenReadOnlyExclusive(path);
  if (!opened.file) {
    last_open_error_ = opened.error;
    last_error_ = path + ": " + opened.message;
    return false;
  }
  const DataFileStart start = FindDataFileStart(*opened.file);
  sources_.push_back({path, std::move(opened.file), {}, 0, 0});
  if (std::optional<std::string> why = PlaceSecondary(sources_.size() - 1, start)) {
    sources_.pop_back();
    last_error_ = FileName(path) + ": " + *why;
    return false;
  }
  return true;
}

std::vector<uint16_t> PageStore::FileIds() const {
  std::vector<uint16_t> ids;
  for (std::optional<uint64_t> key = NextHeld(0); key; key = NextHeld(EndKeyOf(ids.back()))) {
    ids.push_back(FileIdOfKey(*key));
    if (ids.back() == UINT16_MAX) break;
  }
  return ids;
}

bool PageStore::KnowsFile(uint16_t file_id) const {
  if (file_id == kPrimaryFileId || HoldsFile(file_id)) return true;
  for (const DatabaseFileRecord& f : database_files_)
    if (f.fileId == file_id && !f.log) return true;
  return false;
}

std::vector<DatabaseFileRecord> PageStore::MissingFiles() const {
  std::vector<DatabaseFileRecord> missing;
  for (const DatabaseFileRecord& f : database_files_)
    if (!f.log && !HoldsFile(f.fileId)) missing.push_back(f);
  return missing;
}

void PageStore::Close() {
  sources_.clear();
  database_files_.clear();
}

std::optional<Page> PageStore::ReadRawPage(uint64_t page_number) const {
  std::optional<PageLocation> at = PagePosition(page_number);
  if (!at) return std::nullopt;
  Page page = Page::ForOverwrite();
  if (ReadAt(*at, page.bytes()) != kPageSize) return std::nullopt;
  Check(page_number, page.view());
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
  std::optional<PageLocation> at = PagePosition(page_number);
  if (!at || length > kPageSize) return std::nullopt;
  std::vector<uint8_t> bytes(length);
  if (ReadAt(*at, bytes) != length) return std::nullopt;
  return bytes;
}

std::optional<PageHeader> PageStore::ReadHeader(uint64_t page_number) const {
  std::optional<std::vector<uint8_t>> bytes = ReadPrefix(page_number, kHeaderSize);
  if (!bytes) return std::nullopt;
  return PageHeader::Decode(ByteView(*bytes));
}

size_t PageStore::ReadPageBlock(uint64_t first, size_t count, std::span<uint8_t> out) const {
  if (!IsOpen() || out.size() / kPageSize < count) return 0;
  size_t done = 0;
  while (done < count) {
    // One read per run of pages that lie one after another in the file.
    uint64_t run = map_.RunLength(first + done, count - done);
    std::optional<PageLocation> at = PagePosition(first + done);
    if (run == 0 || !at) break;
    size_t bytes = static_cast<size_t>(run) * kPageSize;
    size_t got = ReadAt(*at, out.subspan(done * kPageSize, bytes)) / kPageSize;
    for (size_t k = 0; k < got; ++k)
      Check(first + done + k, ByteView(out.data() + (done + k) * kPageSize, kPageSize));
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
