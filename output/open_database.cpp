#include "output/open_database.h"

#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/data_file_recognition.h"

namespace tollamer {

std::string DatabaseFiles::Label() const {
  std::string label;
  for (const std::string& p : paths) label += (label.empty() ? "" : " + ") + p;
  return label;
}

OpenStatus OpenDataFile(CMdfDatabase& db, const DatabaseFiles& files) {
  if (db.IsOpen()) db.Teardown();
  if (!db.OpenFiles(files.paths, files.store)) {
    if (db.IsOpen()) db.Teardown();
    return OpenStatus::kCannotOpen;
  }
  if (!HoldsDataPages(db.Store())) return OpenStatus::kNotDataFile;
  db.FindDatabaseFiles();
  return OpenStatus::kOpened;
}

VersionSetting ChooseVersion(const VersionRequest& request, const PageStore& store,
                             VersionGuess* detected) {
  if (!request.automatic) return request.setting;
  VersionGuess guess = DetectServerVersion(store);
  if (detected) *detected = guess;
  return guess.setting;
}

CatalogOpenResult ReadCatalog(CMdfDatabase& db, VersionSetting setting, WorkLog& log) {
  CatalogOpenResult result = OpenCatalog(db, setting);
  AppendFileLayout(log, db.Store());
  AppendPageChecks(log, db.Store());
  AppendCatalogSummary(log, db.catalog);
  return result;
}

OpenedDatabase OpenDatabase(CMdfDatabase& db, const DatabaseFiles& files,
                            const VersionRequest& request, WorkLog& log) {
  OpenedDatabase opened;
  if (db.IsOpen()) db.Teardown();
  AppendRepairStart(log, files.Label(), LocalTimeNow());
  opened.status = OpenDataFile(db, files);
  if (opened.status != OpenStatus::kOpened) return opened;
  opened.setting = ChooseVersion(request, db.Store(), &opened.detected);
  opened.profile = ProfileFor(opened.setting);
  opened.catalog = ReadCatalog(db, opened.setting, log);
  AppendRepairCompleted(log, LocalTimeNow());
  return opened;
}

}  // namespace tollamer
