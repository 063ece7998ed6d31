#include "cli/open_command.h"

#include <cstdio>

#include "cli/cli_messages.h"
#include "engine/catalog/open/open_catalog.h"
#include "output/open_log.h"

namespace tollamer::cli {

std::optional<VersionChoice> ParseVersionChoice(const std::string& text) {
  if (text == "auto") return VersionChoice{true, VersionSetting::kNone};
  if (text == "2000") return VersionChoice{false, VersionSetting::kSql2000};
  if (text == "2005" || text == "2008") return VersionChoice{false, VersionSetting::kSql2005};
  return std::nullopt;
}

bool RunOpenFlow(CMdfDatabase& db, const std::string& path, const VersionChoice& version,
                 WorkLog& log) {
  if (db.IsOpen()) db.Teardown();
  AppendRepairStart(log, path, LocalTimeNow());
  if (!db.OpenFile(path)) {
    db.Messages().ShowStop(kFileInUseText);
    return false;
  }
  VersionSetting setting =
      version.automatic ? DetectServerVersion(db.Store()).setting : version.setting;
  OpenCatalog(db, setting);
  AppendCatalogSummary(log, db.catalog);
  AppendRepairCompleted(log, LocalTimeNow());
  return true;
}

int RunOpen(const OpenOptions& options) {
  std::optional<VersionChoice> version = ParseVersionChoice(options.version);
  if (!version) {
    std::fprintf(stderr, "tollamer-cli: unknown version %s (2000, 2005 or auto)\n",
                 options.version.c_str());
    return 2;
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  WorkLog log;
  bool opened = RunOpenFlow(db, options.path, *version, log);
  if (options.logPath.empty()) {
    std::string text = log.Text();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputs("\n", stdout);
  } else if (std::optional<std::string> error = log.SaveReport(options.logPath)) {
    std::fprintf(stderr, "%s %s: %s\n", std::string(kLogCreateErrorText).c_str(),
                 options.logPath.c_str(), error->c_str());
    return 1;
  } else {
    std::printf("%s\n", options.logPath.c_str());
  }
  return opened ? 0 : 1;
}

}  // namespace tollamer::cli
