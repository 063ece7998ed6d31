#include "engine/catalog/catalog_model.h"

#include <algorithm>

namespace tollamer {

SystemPageList* SystemPages2000::ForObject(uint32_t object_id) {
  switch (object_id) {
    case 1: return &sysobjects;
    case 2: return &sysindexes;
    case 3: return &syscolumns;
    case 4: return &systypes;
    case 6: return &syscomments;
    case 10: return &sysusers;
    case 20: return &object20;
    case 14: return &sysreferences;
    default: return nullptr;
  }
}

namespace {

bool AnyListHolds(std::initializer_list<const SystemPageList*> lists, uint64_t page) {
  for (const SystemPageList* list : lists)
    if (std::find(list->begin(), list->end(), page) != list->end()) return true;
  return false;
}

}  // namespace

void SystemPages2000::Clear() { *this = {}; }

bool SystemPages2000::Holds(uint64_t page) const {
  return AnyListHolds({&sysobjects, &sysindexes, &syscolumns, &systypes, &syscomments, &object20,
                       &sysusers, &sysreferences}, page);
}

SystemPageList* SystemPages2005::ForObject(uint32_t object_id) {
  switch (object_id) {
    case 64: return &sysclsobjs;
    case 50: return &sysscalartypes;
    case 34: return &sysschobjs;
    case 41: return &syscolpars;
    case 5: return &sysrowsets;
    case 7: return &sysallocunits;
    case 54: return &sysidxstats;
    case 60: return &sysobjvalues;
    case 65: return &sysrowsetrefs;
    case 3: return &sysrscols;
    case 4: return &sysrowsetcolumns;
    case 13: return &syshobtcolumns;
    case 55: return &sysiscols;
    case 74: return &syssingleobjrefs;
    default: return nullptr;
  }
}

void SystemPages2005::Clear() { *this = {}; }

bool SystemPages2005::Holds(uint64_t page) const {
  return AnyListHolds({&sysclsobjs, &sysscalartypes, &sysschobjs, &syscolpars, &sysrowsets,
                       &sysallocunits, &sysidxstats, &sysobjvalues, &sysrowsetrefs, &sysrscols,
                       &sysrowsetcolumns, &syshobtcolumns, &sysiscols, &syssingleobjrefs}, page);
}

void Catalog::Clear() {
  for (auto& [id, table] : tables) table.columns.clear();
  tables.clear();
  views.clear();
  procedures.clear();
  functions.clear();
  userTypes.clear();
  triggers.clear();
  collationId = 0;
  damagedPages.clear();
}

const IndexInfo* TableConstraints::PrimaryKey() const {
  for (const IndexInfo& index : indexes)
    if (index.kind == IndexInfo::Kind::kPrimaryKey) return &index;
  return nullptr;
}

}  // namespace tollamer
