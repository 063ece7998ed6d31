// Keys, indexes, foreign keys, defaults, CHECK constraints, IDENTITY
// columns and triggers of a SQL 7.0/2000 file, read into the tables the
// catalog already holds. Every entry comes from its own rows; a row that is
// lost or does not decode costs that entry only.
//
// sysobjects rows of constraints and triggers (layout in
// system_rows2000_layout.h) carry xtype "PK", "UQ", "F ", "D ", "C " or
// "TR" and, in parent_obj, the table they belong to; a DEFAULT's info field
// is the id of its column. A PRIMARY KEY or UNIQUE constraint is the index
// of its table with the constraint's name; DEFAULT and CHECK texts are
// their syscomments rows.
//
// sysindexes row, beyond the fields the catalog reads:
//   OFFSET  SIZE  MEANING
//   0x08    4     status: 0x2 unique, 0x10 clustered, 0x20 hypothetical,
//                 0x40 statistics only, 0x800 PRIMARY KEY, 0x1000 UNIQUE
//                 constraint
//   var 1   -     keys: 32 bytes per key column; the column id at entry
//                 offset 16; a nonzero 32-bit value at entry offset 28
//                 marks a column the server added (the clustered key and
//                 uniquifier of a nonclustered index), column id 0 the
//                 uniquifier itself
//   var 2   -     name
//
// sysreferences row (object 14), one per FOREIGN KEY:
//   0x04    4     constid: the constraint's object id
//   0x08    4     fkeyid: the referencing table
//   0x0C    4     rkeyid: the referenced table
//   0x12    2     keycnt: number of key columns (1 to 16)
//   var 1   -     forkeys: keycnt 16-bit column ids of the referencing table
//   var 2   -     refkeys: the matching columns of the referenced table
//
// syscolumns: colstat bit 0x1 marks the IDENTITY column; its autoval
// (variable column 2) holds the values (record_columns.h).
#pragma once

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/sql2000/catalog_lookups2000.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2000 {

void ReadConstraints2000(const PageStore& store, const SystemPages2000& pages,
                         const CatalogLookups2000& lookups, Catalog& catalog);

}  // namespace tollamer::sql2000
