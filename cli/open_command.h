// `tollamer-cli open FILE`: the whole open of a data file as the desktop
// program runs it (report header, catalog build of the chosen version, table
// lines, completion line), with the work log printed or saved as a report.
#pragma once

#include <optional>
#include <string>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "output/work_log.h"

namespace tollamer::cli {

// Shown when the data file cannot be opened.
inline constexpr std::string_view kFileInUseText = "文件被其他软件占用！";

// "2000", "2005" or "auto" (auto: the detector's proposal once the file is open).
struct VersionChoice {
  bool automatic = true;
  VersionSetting setting = VersionSetting::kNone;
};
std::optional<VersionChoice> ParseVersionChoice(const std::string& text);

// Runs the open of `path` into `db`, writing the log lines as it goes.
// False when the file could not be opened (the log then holds the header
// entries only).
bool RunOpenFlow(CMdfDatabase& db, const std::string& path, const VersionChoice& version,
                 WorkLog& log);

struct OpenOptions {
  std::string path;
  std::string version = "auto";
  std::string logPath;  // empty: print the log to stdout
};

// Exit code: 0 success, 1 the file could not be opened or the report not
// saved, 2 bad options.
int RunOpen(const OpenOptions& options);

}  // namespace tollamer::cli
