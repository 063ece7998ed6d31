// Filling the catalog model from the SQL 7.0/2000 system tables: user types
// from systypes, then tables, views, procedures and scalar functions from
// sysobjects, with owners, columns, row counts and definition texts taken
// from the lookups.
#pragma once

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/sql2000/catalog_lookups2000.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2000 {

// Appends to `catalog`; tables already in its map keep their record. A
// table (id 100 or more) whose sysobjects row is lost but whose sysindexes
// row (heap or clustered) and syscolumns rows remain is kept as
// table_<id>, owned by uid 1.
void BuildCatalog2000(const PageStore& store, const SystemPages2000& pages,
                      const CatalogLookups2000& lookups, Catalog& catalog);

}  // namespace tollamer::sql2000
