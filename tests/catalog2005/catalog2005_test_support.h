// Opening synthetic SQL 2005/2008 files in the catalog tests.
#pragma once

#include <memory>
#include <string>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/catalog/table_lookup.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/test_support.h"

namespace tollamer::sql2005 {

struct OpenedFile {
  testing::TempDir dir;
  RecordingMessages messages;
  CMdfDatabase db{messages};
  OpenCatalog2005Result result;
};

// Writes the file and opens it, without building the catalog.
inline std::unique_ptr<OpenedFile> WriteAndOpen(const fixtures::FileBuilder& file) {
  auto o = std::make_unique<OpenedFile>();
  EXPECT_TRUE(o->db.OpenFile(o->dir.Write("test.mdf", file.Image())));
  return o;
}

inline std::unique_ptr<OpenedFile> OpenBuilt(const fixtures::FileBuilder& file,
                                             PageOwnerConflict& conflict) {
  auto o = WriteAndOpen(file);
  o->result = OpenCatalog2005(o->db, conflict);
  return o;
}

}  // namespace tollamer::sql2005
