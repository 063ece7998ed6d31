#include "output/open_log.h"

#include <map>

namespace tollamer {

namespace {
constexpr auto kPauseAfterStart = std::chrono::milliseconds(150);
constexpr auto kPauseAfterFile = std::chrono::milliseconds(100);
}  // namespace

std::string RecordCountText(std::optional<uint64_t> row_count) {
  if (!row_count) return "? Records)";
  return std::to_string(*row_count) + (*row_count < 2 ? " Record)" : " Records)");
}

void AppendRepairStart(WorkLog& log, std::string_view file_path,
                       const std::optional<std::tm>& local_time, const LogPause& pause) {
  log.AppendEntry("\r\n\r\nRepair process started on " + FormatLogTime(local_time));
  if (pause) pause(kPauseAfterStart);
  log.AppendEntry("File selected for repair  :" + std::string(file_path));
  if (pause) pause(kPauseAfterFile);
  log.AppendEntry("Scanning file...");
}

std::vector<std::string> FileGapTexts(const FileGaps& gaps) {
  std::vector<std::string> texts;
  const std::string allocated = std::to_string(gaps.coverage.PagesMissing());
  if (gaps.pagesCutOff) {
    std::string text = "the file is cut short: " + std::to_string(gaps.pagesCutOff) + " pages missing";
    if (gaps.coverage.allocationKnown && gaps.coverage.intervalsUnread == 0)
      text += gaps.coverage.extentsMissing ? ", " + allocated + " of them allocated" : ", none of them allocated";
    texts.push_back(text);
  }
  for (const std::string& file : gaps.filesMissing)
    texts.push_back("data " + file + " of the database is missing");
  if (gaps.backupHeadMissing) texts.emplace_back("the backup's head is missing");
  if (gaps.backupTailMissing) texts.emplace_back("the backup's tail is missing");
  if (gaps.backup && gaps.coverage.extentsMissing)
    texts.push_back("the backup lacks " + allocated + " allocated pages" +
                    (gaps.backupStriped ? " (in another file of the striped backup, or lost)" : ""));
  return texts;
}

std::string StripesText(const PageStore& store) {
  if (!store.Media().Striped()) return {};
  std::string given;
  for (const StoreSource& s : store.Sources())
    given += (given.empty() ? "" : ", ") + std::to_string(s.media.familySequence);
  const std::string of = " of " + std::to_string(store.Media().familyCount);
  std::string text = (store.Sources().size() > 1 ? ", stripes " : ", stripe ") + given + of;
  for (uint16_t family : store.MissingStripes())
    text += ", stripe " + std::to_string(family) + of + " missing";
  return text;
}

void AppendFileLayout(WorkLog& log, const PageStore& store) {
  if (store.Kind() == FileKind::kBackup) {
    std::string line = "Backup file: " + std::to_string(store.PagesHeld()) + " page images";
    if (store.BackupSets().size() > 1)
      line += ", backup set " + std::to_string(store.BackupSetRead()) + " of the " +
              std::to_string(store.BackupSets().size()) + " in the file";
    line += StripesText(store);
    if (const DecodedBackupFile* decoded = store.Decoded()) {
      line += ", compressed (MS_XPRESS) in " + std::to_string(decoded->BlockCount()) + " blocks";
      if (uint64_t lost = decoded->LossCount()) line += ", " + std::to_string(lost) + " of them lost";
    }
    log.Append(line + "\r\n");
  } else if (store.PageBaseOffset() != 0) {
    log.Append("Page 0 found at byte " + std::to_string(store.PageBaseOffset()) +
               ": the bytes before it are not read\r\n");
  }
  const FileGaps gaps = MeasureFileGaps(store);
  for (const std::string& text : FileGapTexts(gaps))
    log.Append((gaps.LosesRows() ? "Incomplete: " : "Note: ") + text + "\r\n");
}

void AppendPageChecks(WorkLog& log, const PageStore& store) {
  constexpr size_t kPagesNamed = 20;
  const std::map<uint64_t, PageCheck> failed = store.CheckFailures().Pages();
  if (failed.empty()) return;
  size_t named = 0;
  size_t sums = 0;
  for (const auto& [page, check] : failed) {
    sums += check == PageCheck::kChecksumFails;
    if (named++ < kPagesNamed)
      log.Append("Page " + PageKeyText(page) + " " + PageCheckText(check) + "\r\n");
  }
  log.Append(std::to_string(sums) + " page(s) fail their checksum, " +
             std::to_string(failed.size() - sums) + " torn\r\n");
}

void AppendCatalogSummary(WorkLog& log, const Catalog& catalog) {
  log.Append("Total table(s) present  :" + std::to_string(catalog.tables.size()) + "\r\n");
  for (const auto& [id, table] : catalog.tables)
    log.Append(table.fullName + " : (" + RecordCountText(table.rowCount) + "\r\n");
}

void AppendRepairCompleted(WorkLog& log, const std::optional<std::tm>& local_time) {
  log.AppendEntry("\r\n\r\nRepair process completed on " + FormatLogTime(local_time));
}

}  // namespace tollamer
