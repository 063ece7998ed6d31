// CMdfDatabase: the engine object behind one opened file. Its file half is
// the page store; its catalog half is what the builders learn from the
// system tables, plus the page lists they work from.
#pragma once

#include <atomic>
#include <map>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"
#include "engine/pagestore/server_version.h"

namespace tollamer {

class CMdfDatabase;

// In SQL 2005 and later files a data page's m_objId names its allocation
// unit, not its table. When two tables' first data pages carry the same
// m_objId the whole-file data scan cannot tell their pages apart: the flag
// is set (once, with one message) and the all-tables scan is not offered
// for this file.
class PageOwnerConflict {
 public:
  bool IsSet() const { return set_.load(); }
  // True when this call set the flag (it was clear before).
  bool Set() { return !set_.exchange(true); }
  void Reset() { set_.store(false); }

 private:
  std::atomic<bool> set_{false};
};

// The tables whose system rows count rows but that have no data page in
// dataPageLists: after a scan of the whole file their rows were not found.
std::vector<uint32_t> TablesWithoutDataPages(const CMdfDatabase& db);

class CMdfDatabase {
 public:
  explicit CMdfDatabase(EngineMessages& messages) : messages_(messages), store_(messages) {}

  bool OpenFile(const std::string& path) { return store_.OpenFile(path); }
  bool OpenFiles(const std::vector<std::string>& paths, const StoreOpenOptions& options = {}) {
    return store_.OpenFiles(paths, options);
  }
  // Reads the primary file's list of files and adds those found beside it
  // (database_files.h).
  void FindDatabaseFiles();
  bool IsOpen() const { return store_.IsOpen(); }

  // Empties every container of the catalog and closes the file.
  void Teardown();

  const PageStore& Store() const { return store_; }
  EngineMessages& Messages() { return messages_; }

  SystemPages2000 systemPages2000;
  Catalog catalog;
  // Object id -> data pages in row order, filled on demand.
  std::map<uint32_t, DataPageList> dataPageLists;
  SystemPages2005 systemPages2005;
  // SQL 2005/2008: page-header m_objId -> table object id.
  std::map<uint32_t, uint32_t> pageOwnerMap;
  PageOwnerConflict pageOwnerConflict;

 private:
  EngineMessages& messages_;
  PageStore store_;
};

}  // namespace tollamer
