// `tollamer-cli open FILE`: the whole open of a data file as the desktop
// program runs it (report header, catalog build of the chosen version, table
// lines, completion line), with the work log printed or saved as a report.
#pragma once

#include <optional>
#include <string>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "output/open_database.h"
#include "output/work_log.h"

namespace tollamer::cli {

// "2000", "2005" or "auto" (auto: the detector's proposal once the file is open).
using VersionChoice = VersionRequest;
std::optional<VersionChoice> ParseVersionChoice(const std::string& text);

// After an open of `path` (`opened`: what OpenFile returned): true, after a
// line on stderr (and a log entry) saying why, when the file could not be
// opened (missing, a folder, no permission, in use, a read error) or holds no
// SQL Server page header at all (empty, random bytes, text).
bool CheckUnreadable(bool opened, const PageStore& store, const std::string& path,
                     WorkLog* log = nullptr);
// The same for the status of an open already run.
bool ReportUnreadable(OpenStatus status, const PageStore& store, const std::string& path,
                      WorkLog* log = nullptr);

// Runs the open of `path` into `db`, writing the log lines as it goes, and
// returns the version the file was read as (detected once, for "auto").
// Nothing, after a line on stderr saying why (missing, a folder, no
// permission, in use, not a data or backup file), when the file could not
// be opened or holds no page of a data file (the log then holds the header
// entries and that reason).
std::optional<VersionSetting> RunOpenFlow(CMdfDatabase& db, const DatabaseFiles& files,
                                          const VersionChoice& version, WorkLog& log);

struct OpenOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  std::string version = "auto";
  std::string logPath;  // empty: print the log to stdout
  bool force = false;   // replace an existing report
};

// Exit codes in cli_exit.h: 0, 1 the file could not be opened or the report
// not saved, 2 bad options or a report path that is the input.
int RunOpen(const OpenOptions& options);

}  // namespace tollamer::cli
