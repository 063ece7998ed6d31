#include "cli/info_command.h"

#include <cstdio>
#include <map>

#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/compressed_blocks.h"
#include "cli/cli_exit.h"
#include "cli/json.h"
#include "cli/progress_reporter.h"
#include "cli/open_command.h"
#include "engine/catalog/database_files.h"
#include "engine/pagestore/file_gaps.h"
#include "engine/pagestore/page_store.h"
#include "engine/pagestore/server_version.h"

namespace tollamer::cli {

namespace {

const char* PageTypeLabel(uint8_t type) {
  switch (static_cast<page_layout::PageType>(type)) {
    case page_layout::PageType::kData: return "data page";
    case page_layout::PageType::kIndex: return "index page";
    case page_layout::PageType::kTextMix: return "text/image page (mixed)";
    case page_layout::PageType::kTextTree: return "text/image page (tree)";
    case page_layout::PageType::kGam: return "GAM page";
    case page_layout::PageType::kSgam: return "SGAM page";
    case page_layout::PageType::kIam: return "IAM page";
    case page_layout::PageType::kPfs: return "PFS page";
    case page_layout::PageType::kBoot: return "boot page";
    case page_layout::PageType::kFileHeader: return "file header page";
    case page_layout::PageType::kDiffMap: return "differential change map";
    case page_layout::PageType::kMlMap: return "bulk-change map";
  }
  return type == 0 ? "unused (zero) page" : "unknown type";
}

// Failing pages named one by one, at most this many.
constexpr size_t kPagesNamed = 20;

}  // namespace

int RunInfo(const InfoOptions& options) {
  CliMessages messages;
  PageStore store(messages);
  const std::string label = options.files.Label();
  if (CheckUnreadable(store.OpenFiles(options.files.paths, options.files.store), store, label))
    return 1;
  FindDatabaseFiles(store);
  // The list is shown for a database of several data files.
  size_t data_files = 0;
  for (const DatabaseFileRecord& f : store.DatabaseFiles()) data_files += f.log ? 0 : 1;
  const bool several_files = data_files > 1 || store.FileIds().size() > 1;

  std::map<uint8_t, uint64_t> by_type;
  std::map<PageCheck, uint64_t> by_check;
  uint64_t readable = 0;
  ProgressReporter progress(label);
  ForEachHeldPage(store, [&](uint64_t, ByteView bytes) {
    progress.Fraction(readable, store.PagesHeld());
    ++readable;
    ++by_type[bytes.LeOr<uint8_t>(page_layout::kType)];
    ++by_check[CheckPage(bytes)];
    return true;
  });
  progress.Done();
  VersionGuess version = DetectServerVersion(store);
  const bool backup = store.Kind() == FileKind::kBackup;
  // Pages carrying a checksum or torn bits.
  const uint64_t checked = by_check[PageCheck::kGood] + by_check[PageCheck::kChecksumFails] +
                           by_check[PageCheck::kTorn];
  const char* kind = backup ? "backup" : "data";
  const FileGaps gaps = MeasureFileGaps(store);
  const BackupCoverage& coverage = gaps.coverage;
  const std::optional<uint64_t> declared = store.DeclaredPageCount();
  const DecodedBackupFile* decoded = store.Decoded();
  const uint64_t lost = decoded ? ReportLostBlocks(decoded->Losses()) : 0;
  const int exit_code = lost ? kExitLosses : kExitComplete;

  if (options.json) {
    std::string out = "{\"kind\": " + JsonString(kind);
    out += ", \"base_offset\": " + std::to_string(store.PageBaseOffset());
    out += ", \"pages\": " + std::to_string(store.PageCount());
    out += ", \"pages_declared\": " + (declared ? std::to_string(*declared) : std::string("null"));
    if (several_files) {
      out += ", \"pages_all_files\": " + std::to_string(store.PagesHeld());
      out += ", \"database_files\": [";
      for (const DatabaseFileRecord& f : store.DatabaseFiles()) {
        out += out.back() == '[' ? "{" : ", {";
        out += "\"file_id\": " + std::to_string(f.fileId);
        out += ", \"name\": " + JsonString(f.logicalName);
        out += ", \"path\": " + JsonString(f.physicalPath);
        out += std::string(", \"log\": ") + (f.log ? "true" : "false");
        out += ", \"opened\": " + (f.openedPath.empty() ? "null" : JsonString(f.openedPath));
        out += ", \"pages\": " + std::to_string(store.PageCountOf(f.fileId)) + "}";
      }
      out += "]";
    }
    if (!backup) out += ", \"pages_cut_off\": " + std::to_string(gaps.pagesCutOff);
    if (backup) {
      out += ", \"pages_held\": " + std::to_string(store.PagesHeld());
      out += ", \"stripe\": " + std::to_string(store.Media().familySequence);
      out += ", \"stripes\": " + std::to_string(store.Media().familyCount);
      out += std::string(", \"head_missing\": ") + (gaps.backupHeadMissing ? "true" : "false");
      out += std::string(", \"tail_missing\": ") + (gaps.backupTailMissing ? "true" : "false");
      out += ", \"stripes_missing\": [";
      for (uint16_t family : store.MissingStripes())
        out += (out.back() == '[' ? "" : ", ") + std::to_string(family);
      out += "], \"backup_set\": " + std::to_string(store.BackupSetRead());
      out += ", \"backup_sets\": [";
      for (const BackupSetSummary& s : store.BackupSets()) {
        out += out.back() == '[' ? "{" : ", {";
        out += "\"number\": " + std::to_string(s.header.number);
        out += ", \"type\": " + JsonString(BackupSetTypeName(s.header.type));
        out += ", \"database\": " + (s.databaseName.empty() ? "null" : JsonString(s.databaseName));
        const std::string date = FormatBackupDate(s.header.written);
        out += ", \"date\": " + (date.empty() ? "null" : JsonString(date));
        out += ", \"pages\": " + std::to_string(s.pagesHeld) + "}";
      }
      out += "]";
      out += ", \"pages_missing\": " +
             (coverage.allocationKnown ? std::to_string(coverage.PagesMissing()) : std::string("null"));
      out += ", \"compression\": " + (decoded ? JsonString("MS_XPRESS") : std::string("null"));
      if (decoded) {
        out += ", \"compressed_blocks\": " + std::to_string(decoded->BlockCount());
        out += ", \"compressed_blocks_lost\": " + std::to_string(lost);
      }
    }
    out += ", \"version\": {\"setting\": " + std::to_string(static_cast<int>(version.setting));
    out += ", \"dbi_version\": " +
           (version.dbiVersion ? std::to_string(*version.dbiVersion) : std::string("null"));
    out += ", \"name\": " + (version.name.empty() ? std::string("null") : JsonString(version.name));
    out += "}, \"page_types\": {";
    bool first = true;
    for (const auto& [type, count] : by_type) {
      out += (first ? "\"" : ", \"") + std::to_string(type) + "\": " + std::to_string(count);
      first = false;
    }
    const PageCheckFailures& failed = store.CheckFailures();
    out += "}, \"pages_checked\": " + std::to_string(checked);
    out += ", \"pages_failing_checksum\": " + std::to_string(failed.Count(PageCheck::kChecksumFails));
    out += ", \"pages_torn\": " + std::to_string(failed.Count(PageCheck::kTorn));
    out += "}\n";
    std::fputs(out.c_str(), stdout);
    return exit_code;
  }

  for (const StoreSource& s : store.Sources()) {
    std::printf("file:         %s", s.path.c_str());
    if (!backup && store.Sources().size() > 1)
      std::printf(" (file id %u, %llu pages)", s.fileId, static_cast<unsigned long long>(s.pagesHeld));
    else if (store.Sources().size() > 1 || s.media.Striped())
      std::printf(" (stripe %u of %u, %llu pages)", s.media.familySequence, s.media.familyCount,
                  static_cast<unsigned long long>(s.pagesHeld));
    std::printf("\n");
  }
  std::printf("kind:         %s file\n", kind);
  std::printf("base offset:  %llu (0x%llX)%s\n", static_cast<unsigned long long>(store.PageBaseOffset()),
              static_cast<unsigned long long>(store.PageBaseOffset()),
              !backup && store.PageBaseOffset() != 0 ? ": bytes before page 0 are not read" : "");
  std::printf("pages:        %llu", static_cast<unsigned long long>(store.PageCount()));
  if (gaps.pagesCutOff)
    std::printf(" of %llu (the file is cut short: %llu pages missing)",
                static_cast<unsigned long long>(*declared),
                static_cast<unsigned long long>(gaps.pagesCutOff));
  if (several_files)
    std::printf(" in file 1, %llu in all files", static_cast<unsigned long long>(store.PagesHeld()));
  if (readable != (several_files ? store.PagesHeld() : store.PageCount()))
    std::printf(" (%llu readable)", static_cast<unsigned long long>(readable));
  std::printf("\n");
  if (several_files) {
    std::printf("database files (as the primary file lists them):\n");
    for (const DatabaseFileRecord& f : store.DatabaseFiles()) {
      std::printf("  file %u: %s, %s: ", f.fileId, f.logicalName.c_str(), f.physicalPath.c_str());
      if (f.log) std::printf("log file (not read)\n");
      else if (!f.openedPath.empty()) std::printf("%s\n", f.openedPath.c_str());
      else std::printf("MISSING (%s)\n", f.whyNotOpened.c_str());
    }
  }
  if (backup) {
    if (decoded) {
      std::printf("compression:  %s", CompressionText(*decoded).c_str());
      if (lost) std::printf(", %llu lost (see above)", static_cast<unsigned long long>(lost));
      std::printf("\n");
    }
    for (uint16_t family : store.MissingStripes())
      std::printf("missing file: stripe %u of %u (not given: the pages it holds are not read)\n",
                  family, store.Media().familyCount);
    if (store.BackupSets().size() > 1 || store.BackupSetRead() > 1) {
      std::printf("backup sets:  %zu in the file, set %u read\n", store.BackupSets().size(),
                  store.BackupSetRead());
      for (const BackupSetSummary& s : store.BackupSets()) {
        const std::string date = FormatBackupDate(s.header.written);
        std::printf("  set %u: %s backup of %s, %s, %llu pages\n", s.header.number,
                    BackupSetTypeName(s.header.type),
                    s.databaseName.empty() ? "(database name unknown)" : s.databaseName.c_str(),
                    date.empty() ? "date unknown" : date.c_str(),
                    static_cast<unsigned long long>(s.pagesHeld));
      }
    }
    if (gaps.backupHeadMissing)
      std::printf("head:         missing (no tape header at byte 0: the backup's first part is lost)\n");
    if (gaps.backupTailMissing)
      std::printf("tail:         missing (no end-of-set block: the backup's last part is lost)\n");
    if (coverage.allocationKnown)
      std::printf("missing:      %llu allocated pages are not in the files given (%llu extents)\n",
                  static_cast<unsigned long long>(coverage.PagesMissing()),
                  static_cast<unsigned long long>(coverage.extentsMissing));
  }
  if (version.setting == VersionSetting::kNone) {
    std::printf("version:      unknown (no readable boot page or system table pages)\n");
  } else {
    std::printf("version:      %s", version.name.c_str());
    if (version.dbiVersion) {
      std::printf(" (dbi_version %u", *version.dbiVersion);
      if (version.createVersion) std::printf(", created as %u", *version.createVersion);
      std::printf(")");
    } else {
      std::printf(" (boot page unreadable: inferred from system table pages)");
    }
    std::printf(", read as %s\n",
                FormatName(version.setting));
    if (version.newerThanKnown)
      std::printf("              newer than the formats this tool knows: read as %s\n",
                  NewestKnownVersionName());
  }
  const PageCheckFailures& failed = store.CheckFailures();
  const size_t bad_sums = failed.Count(PageCheck::kChecksumFails);
  const size_t torn = failed.Count(PageCheck::kTorn);
  if (bad_sums + torn == 0) {
    std::printf("checks:       %llu pages carry a checksum or torn bits, every one agrees\n",
                static_cast<unsigned long long>(checked));
  } else {
    std::printf("checks:       %llu pages carry a checksum or torn bits: %zu fail their checksum, "
                "%zu are torn\n", static_cast<unsigned long long>(checked), bad_sums, torn);
    size_t named = 0;
    for (const auto& [page, check] : failed.Pages()) {
      if (++named > kPagesNamed) break;
      std::printf("  page %s %s\n", PageKeyText(page).c_str(), PageCheckText(check));
    }
    if (named > kPagesNamed) std::printf("  ...\n");
  }
  std::printf("page types:\n");
  for (const auto& [type, count] : by_type)
    std::printf("  %3u  %-26s %llu\n", type, PageTypeLabel(type),
                static_cast<unsigned long long>(count));
  return exit_code;
}

}  // namespace tollamer::cli
