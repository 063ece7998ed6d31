// CMdfDatabase: the engine object behind one opened file. Its file half is
// the page store; its catalog half is what the builders learn from the
// system tables, plus the page lists they work from.
#pragma once

#include <map>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"
#include "engine/pagestore/server_version.h"

namespace tollamer {

class CMdfDatabase;

// The tables whose system rows count rows but that have no data page in
// dataPageLists: after a scan of the whole file their rows were not found.
std::vector<uint32_t> TablesWithoutDataPages(const CMdfDatabase& db);

class CMdfDatabase {
 public:
  explicit CMdfDatabase(EngineMessages& messages) : messages_(messages), store_(messages) {}

  bool OpenFile(const std::string& path) { return store_.OpenFile(path); }
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

 private:
  EngineMessages& messages_;
  PageStore store_;
};

}  // namespace tollamer
