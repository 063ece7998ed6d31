// The open of a data or backup file, as both programs run it: the report
// header, the file opened and recognised, the server version detected once
// (when the caller asks for detection), the catalog built through the
// format profile of that version, and the work log lines.
//
// The desktop program runs it in two halves: OpenDataFile and the version
// question on the user-interface thread, ReadCatalog on the open worker.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/format_profile.h"
#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "output/open_log.h"
#include "output/work_log.h"

namespace tollamer {

// The version to read a file as: the one the file's own pages name
// (automatic), or a stated one.
struct VersionRequest {
  bool automatic = true;
  VersionSetting setting = VersionSetting::kNone;
};

enum class OpenStatus : uint8_t {
  kOpened,
  // Missing, a folder, no permission, in use, a read error, or a file the
  // store refused (PageStore::Refusal says which).
  kCannotOpen,
  // Opened, but no page of it carries a SQL Server page header (empty,
  // random bytes, text).
  kNotDataFile,
};

// The files of one database (one file, or the stripes of one backup) and
// the backup set to read of a backup holding several.
struct DatabaseFiles {
  std::vector<std::string> paths;
  StoreOpenOptions store;
  // The paths joined by " + ", for messages and the work log.
  std::string Label() const;
};

struct OpenedDatabase {
  OpenStatus status = OpenStatus::kCannotOpen;
  VersionGuess detected;  // what the file's pages say (automatic requests only)
  VersionSetting setting = VersionSetting::kNone;  // the version the file is read as
  const FormatProfile* profile = nullptr;          // null: no catalog was built
  CatalogOpenResult catalog;
};

// Tears down what db held, opens `path` and checks that it holds pages.
// A file that is not kOpened is closed again.
OpenStatus OpenDataFile(CMdfDatabase& db, const DatabaseFiles& files);
inline OpenStatus OpenDataFile(CMdfDatabase& db, const std::string& path) {
  return OpenDataFile(db, DatabaseFiles{{path}, {}});
}

// The setting a request reads the opened file as; detection reads the
// file's pages.
VersionSetting ChooseVersion(const VersionRequest& request, const PageStore& store,
                             VersionGuess* detected = nullptr);

// Builds the catalog of the opened file through the profile of `setting`
// (nothing for kNone) and writes the file-layout and table lines.
CatalogOpenResult ReadCatalog(CMdfDatabase& db, VersionSetting setting, WorkLog& log);

// The whole open: report header, OpenDataFile, ChooseVersion, ReadCatalog
// and the closing line. On a failed open the log holds the header only;
// the caller says why.
OpenedDatabase OpenDatabase(CMdfDatabase& db, const DatabaseFiles& files,
                            const VersionRequest& request, WorkLog& log);
inline OpenedDatabase OpenDatabase(CMdfDatabase& db, const std::string& path,
                                   const VersionRequest& request, WorkLog& log) {
  return OpenDatabase(db, DatabaseFiles{{path}, {}}, request, log);
}

}  // namespace tollamer
