// The every-type SQL 2008 fixture, written to a test's folder and opened
// with its catalog: the source the import tests send to their targets.
#pragma once

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/server_version.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer::testing {

struct EveryTypeSource {
  explicit EveryTypeSource(TempDir& dir) {
    fixtures::user_rows::EveryTypeDatabase2005 d =
        fixtures::user_rows::BuildEveryTypeDatabase2005(fixtures::FormatVersion::kSql2008);
    opened = db.OpenFile(dir.Write("t.mdf", d.built.file.Image())) &&
             OpenCatalog(db, VersionSetting::kSql2005).built;
  }

  RecordingMessages messages;
  CMdfDatabase db{messages};
  bool opened = false;  // the file and its catalog
};

}  // namespace tollamer::testing
