#include "tools/backup_conversion.h"

#include <algorithm>

#include "engine/pagestore/page_layout.h"
#include "engine/source/compressed_backup.h"
#include "platform/block_devices.h"
#include "tools/block_reader.h"
#include "engine/pagestore/page_start.h"
#include "tools/progress_throttle.h"

namespace tollamer::tools {

using page_layout::kPageSize;
using page_layout::kSectorSize;
using page_layout::kSectorsPerPage;

ConversionResult ConvertBackup(const platform::ReadOnlyFile& backup, platform::OutputFile& out,
                               const std::atomic<bool>& running, ConversionObserver& observer) {
  ConversionResult result;
  result.sectors = backup.Length() / kSectorSize;
  BlockReader reader(backup);
  ProgressThrottle throttle;
  uint64_t n = 0;
  while (n < result.sectors) {
    if (!running.load(std::memory_order_relaxed)) {
      result.stopped = true;
      return result;
    }
    if (throttle.Due()) observer.OnProgress(static_cast<int>((n * 100) / result.sectors));
    uint64_t offset = n * kSectorSize;
    ByteView sector = reader.Get(offset, kSectorSize);
    if (sector.size() < kSectorSize) {
      // A sector that cannot be read is not a page start.
      ++n;
      continue;
    }
    // Pages of the database's other files go through the page store
    // (ConvertBackupFiles); the walk writes the primary's.
    if (!IsBackupPageStart(sector) || sector.LeOr<uint16_t>(page_layout::kFileId) != kPrimaryFileId) {
      ++n;
      continue;
    }
    uint32_t page_number = OwnPageNumber(sector).value_or(0);
    // The page with its fifteen following sectors, as far as the backup goes.
    uint64_t sectors_left = result.sectors - n;
    size_t length = static_cast<size_t>(std::min<uint64_t>(kSectorsPerPage, sectors_left)) * kSectorSize;
    ByteView page = reader.Get(offset, length);
    if (!out.WriteAt(uint64_t{page_number} * kPageSize, page.span())) {
      result.error = out.Error();
      return result;
    }
    ++result.pagesWritten;
    if (page.size() < kPageSize) ++result.incompletePages;
    result.highestPage = result.pagesWritten == 1 ? page_number
                                                  : std::max<uint64_t>(result.highestPage, page_number);
    n += kSectorsPerPage;
  }
  observer.OnProgress(100);
  result.completed = true;
  return result;
}

ConversionResult ConvertBackupFile(const std::string& backup_path, const std::string& mdf_path,
                                   const std::atomic<bool>& running, ConversionObserver& observer,
                                   EngineMessages& messages) {
  ConversionResult result;
  if (platform::OutputIsInput(backup_path, mdf_path)) {
    messages.Notify(EngineNotice::kOutputIsInput);
    result.error = platform::kOutputIsInputText;
    return result;
  }
  platform::OpenResult in = platform::OpenSharedReadOnly(backup_path);
  if (!in.file) {
    messages.Notify(EngineNotice::kBackupOpenFailed);
    result.error = in.message;
    return result;
  }
  const DecodedBackupFile* decoded = nullptr;
  if (HasCompressedBackupHead(*in.file)) {
    DecodedBackupOpen opened = OpenDecodedBackup(std::move(in.file));
    if (!opened.file) {
      messages.Notify(EngineNotice::kBackupOpenFailed);
      result.error = "backup file: " + opened.refusal + ": not decoded";
      return result;
    }
    decoded = opened.file.get();
    in.file = std::move(opened.file);
  }
  platform::CreateResult out = platform::CreateOutputFile(mdf_path);
  if (!out.file) {
    messages.Notify(EngineNotice::kDataFileCreateFailed);
    result.error = out.message;
    return result;
  }
  result = ConvertBackup(*in.file, *out.file, running, observer);
  if (decoded) {
    result.compressedBlocks = decoded->BlockCount();
    result.losses = decoded->Losses();
  }
  if (result.stopped) return result;
  if (result.completed && result.pagesWritten == 0) {  // the temporary goes with `out`
    messages.Notify(EngineNotice::kNoPagesInBackup);
    result.completed = false;
    result.error = kNoPagesInBackupText;
    return result;
  }
  if (result.completed && !out.file->Commit()) {
    result.completed = false;
    result.error = out.file->Error();
  }
  if (!result.completed) messages.Notify(EngineNotice::kDataFileWriteFailed);
  return result;
}

ConversionResult ConvertStore(const PageStore& store, platform::OutputFile& out,
                              const std::atomic<bool>& running, ConversionObserver& observer,
                              uint16_t file_id) {
  ConversionResult result;
  const uint64_t pages = store.PageCountOf(file_id);
  const uint64_t first = FirstKeyOf(file_id);
  ProgressThrottle throttle;
  bool failed = false;
  ForEachPageInBlocks(store, first, first + pages, [&](uint64_t key, ByteView bytes) {
    const uint64_t page = PageIdOfKey(key);
    if (!running.load(std::memory_order_relaxed)) {
      result.stopped = true;
      return false;
    }
    if (throttle.Due()) observer.OnProgress(static_cast<int>(page * 100 / pages));
    if (!out.WriteAt(page * kPageSize, bytes.span())) {
      result.error = out.Error();
      failed = true;
      return false;
    }
    ++result.pagesWritten;
    result.highestPage = page;
    return true;
  });
  if (result.stopped || failed) return result;
  observer.OnProgress(100);
  result.completed = true;
  return result;
}

ConversionResult ConvertBackupFiles(const std::vector<std::string>& backup_paths,
                                    const StoreOpenOptions& options, const std::string& mdf_path,
                                    const std::atomic<bool>& running, ConversionObserver& observer,
                                    EngineMessages& messages) {
  ConversionResult result;
  if (backup_paths.empty()) return result;
  for (const std::string& path : backup_paths) {
    if (!platform::OutputIsInput(path, mdf_path)) continue;
    messages.Notify(EngineNotice::kOutputIsInput);
    result.error = platform::kOutputIsInputText;
    return result;
  }
  PageStore store(messages);
  const bool opened = store.OpenFiles(backup_paths, options);
  const bool several = backup_paths.size() > 1 || options.backupSet != 0 ||
                       (opened && (store.BackupSets().size() > 1 || store.FileIds().size() > 1));
  // What the backup lacks, measured while it is open and told with
  // whatever the walk below finds.
  ConversionResult lacks;
  if (opened && store.Kind() == FileKind::kBackup) {
    lacks.gaps = MeasureFileGaps(store);
    lacks.missingStripes = store.MissingStripes();
    lacks.stripes = store.Media().familyCount;
  }
  auto with_gaps = [&](ConversionResult r) {
    r.gaps = lacks.gaps;
    r.missingStripes = lacks.missingStripes;
    r.stripes = lacks.stripes;
    return r;
  };
  if (!several) {
    store.Close();
    return with_gaps(ConvertBackupFile(backup_paths.front(), mdf_path, running, observer, messages));
  }
  if (!opened || store.Kind() != FileKind::kBackup) {
    messages.Notify(EngineNotice::kBackupOpenFailed);
    result.error = opened ? std::string("not a backup file") : store.LastError();
    return result;
  }
  // One data file per file of the database; all are written before any is
  // committed, so that a failed run leaves none.
  std::vector<platform::CreateResult> outs;
  ConversionResult total;
  for (uint16_t file_id : store.FileIds()) {
    const std::string path = file_id == kPrimaryFileId ? mdf_path : SecondaryFilePath(mdf_path, file_id);
    if (file_id != kPrimaryFileId)
      for (const std::string& in : backup_paths)
        if (platform::OutputIsInput(in, path)) {
          messages.Notify(EngineNotice::kOutputIsInput);
          total.error = platform::kOutputIsInputText;
          return total;
        }
    outs.push_back(platform::CreateOutputFile(path));
    if (!outs.back().file) {
      messages.Notify(EngineNotice::kDataFileCreateFailed);
      total.error = outs.back().message;
      return total;
    }
    result = ConvertStore(store, *outs.back().file, running, observer, file_id);
    if (result.stopped || !result.completed) {
      if (!result.stopped) messages.Notify(EngineNotice::kDataFileWriteFailed);
      return result;
    }
    total.pagesWritten += result.pagesWritten;
    if (file_id != kPrimaryFileId) total.secondaryFiles.push_back(path);
    if (file_id == kPrimaryFileId) total.highestPage = result.highestPage;
  }
  total.completed = true;
  for (platform::CreateResult& out : outs)
    if (total.completed && !out.file->Commit()) {
      total.completed = false;
      total.error = out.file->Error();
    }
  if (!total.completed) messages.Notify(EngineNotice::kDataFileWriteFailed);
  return with_gaps(std::move(total));
}

std::string SecondaryFilePath(const std::string& mdf_path, uint16_t file_id) {
  const size_t slash = mdf_path.find_last_of("/\\");
  const size_t dot = mdf_path.find_last_of('.');
  const std::string stem =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? mdf_path.substr(0, dot) : mdf_path;
  return stem + "_" + std::to_string(file_id) + ".ndf";
}

}  // namespace tollamer::tools
