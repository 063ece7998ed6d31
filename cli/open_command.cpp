#include "cli/open_command.h"

#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/output_guard.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "output/open_log.h"
#include "engine/pagestore/data_file_recognition.h"

namespace tollamer::cli {

std::optional<VersionChoice> ParseVersionChoice(const std::string& text) {
  if (text == "auto") return VersionChoice{true, VersionSetting::kNone};
  if (text == "2000" || text == "7.0") return VersionChoice{false, VersionSetting::kSql2000};
  // Every release from 2005 on writes the format the 2005 reader reads.
  for (const char* year : {"2005", "2008", "2012", "2014", "2016", "2017", "2019", "2022", "2025"})
    if (text == year) return VersionChoice{false, VersionSetting::kSql2005};
  return std::nullopt;
}

bool ReportUnreadable(OpenStatus status, const PageStore& store, const std::string& path,
                      WorkLog* log) {
  if (status == OpenStatus::kCannotOpen) {
    std::string why(OpenFailureText(store.LastOpenError()));
    if (store.Refusal() != OpenRefusal::kNone)
      why = store.LastError();  // opened, read, and found not to be a primary file
    else if (store.LastOpenError() == platform::OpenError::kOther && !store.LastError().empty())
      why += ": " + store.LastError();
    Error("cannot open %s: %s\n", path.c_str(), why.c_str());
    if (log) log->AppendEntry("Cannot open the file: " + why);
    return true;
  }
  if (status == OpenStatus::kNotDataFile) {
    Error("%s is not a recognised data or backup file "
                         "(%llu bytes, no SQL Server page header found)\n", path.c_str(),
                 static_cast<unsigned long long>(store.FileLength()));
    if (log) log->AppendEntry("Not a recognised data or backup file: no SQL Server page header found");
    return true;
  }
  return false;
}

bool CheckUnreadable(bool opened, const PageStore& store, const std::string& path, WorkLog* log) {
  const OpenStatus status = !opened                  ? OpenStatus::kCannotOpen
                            : HoldsDataPages(store) ? OpenStatus::kOpened
                                                     : OpenStatus::kNotDataFile;
  return ReportUnreadable(status, store, path, log);
}

std::optional<VersionSetting> RunOpenFlow(CMdfDatabase& db, const DatabaseFiles& files,
                                          const VersionChoice& version, WorkLog& log) {
  const std::string path = files.Label();
  const OpenedDatabase opened = OpenDatabase(db, files, version, log);
  if (ReportUnreadable(opened.status, db.Store(), path, &log)) {
    if (db.IsOpen()) db.Teardown();
    return std::nullopt;
  }
  Detail("%s: %s file, %llu pages, read as %s%s\n", path.c_str(),
         db.Store().Kind() == FileKind::kBackup ? "backup" : "data",
         static_cast<unsigned long long>(db.Store().PageCount()), FormatName(opened.setting),
         version.automatic ? " (from the file)" : "");
  Detail("catalog: %zu tables, %zu views, %zu procedures, %zu functions, %zu user types\n",
         db.catalog.tables.size(), db.catalog.views.size(), db.catalog.procedures.size(),
         db.catalog.functions.size(), db.catalog.userTypes.size());
  return opened.setting;
}

int RunOpen(const OpenOptions& options) {
  std::optional<VersionChoice> version = ParseVersionChoice(options.version);
  if (!version) {
    Error("unknown server version %s (2000, 2005 to 2025, or auto)\n",
                 options.version.c_str());
    return kExitUsage;
  }
  if (RefuseOutputOverInput(options.files, options.logPath) ||
      RefuseExisting(FirstExistingPath({options.logPath}), options.force))
    return kExitUsage;
  CliMessages messages;
  CMdfDatabase db(messages);
  WorkLog log;
  const bool opened = RunOpenFlow(db, options.files, *version, log).has_value();
  if (options.logPath.empty()) {
    std::string text = log.Text();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputs("\n", stdout);
  } else if (std::optional<std::string> error = log.SaveReport(options.logPath)) {
    Error("cannot write the report %s: %s\n", options.logPath.c_str(),
                 error->c_str());
    return kExitCannotRead;
  } else {
    std::printf("%s\n", options.logPath.c_str());
  }
  return opened ? kExitComplete : kExitCannotRead;
}

}  // namespace tollamer::cli
