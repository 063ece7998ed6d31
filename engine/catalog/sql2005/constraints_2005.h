// Keys, indexes, foreign keys, defaults, CHECK constraints, IDENTITY
// columns and triggers of a SQL 2005 (and later) file, read into the tables
// the catalog already holds. Every entry comes from its own rows; a row
// that is lost or does not decode costs that entry only.
//
// sysschobjs rows of constraints and triggers carry type "PK", "UQ", "F ",
// "D ", "C " or "TR", the table in pid and, for a DEFAULT, its column id in
// intprop:
//   OFFSET  SIZE  MEANING
//   19      4     pid: parent object
//   24      4     intprop
// DEFAULT, CHECK and trigger texts are their sysobjvalues rows of value
// class 1.
//
// sysidxstats row (object 54; F = 39), one per index or statistics:
//   8       4     indid
//   12      4     status: 0x1 an index (not statistics only), 0x8 unique,
//                 0x20 PRIMARY KEY, 0x40 UNIQUE constraint
//   21      1     type: 1 clustered, 2 nonclustered (others: xml, spatial,
//                 columnstore, hash, not scripted)
//   var 1   -     name
//
// sysiscols row (object 55; F = 26), one per column of an index:
//   4       4     idmajor: table
//   8       4     idminor: index id
//   12      4     subid: position among the index's columns
//   16      4     status: 0x2 key column, 0x4 descending, 0x10 included
//   20      4     intprop: column id
//   24      1     tinyprop1: key ordinal (1-based; 0 for an included column)
//
// syssingleobjrefs row (object 74; F = 25), for a FOREIGN KEY:
//   4       1     class: 27 the referenced table, 28 a referencing column,
//                 29 a referenced column
//   5       4     depid: the constraint
//   9       4     depsubid: key ordinal (classes 28 and 29)
//   13      4     indepid: the table
//   17      4     indepsubid: the column id (classes 28 and 29)
//
// syscolpars: status bit 0x4 marks the IDENTITY column; its idtval
// (variable column 2) holds the values (record_columns.h).
#pragma once

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/sql2005/lookup_index_2005.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

void ReadConstraints2005(const PageStore& store, const SystemPages2005& lists,
                         const LookupIndex2005& lookups, Catalog& catalog);

}  // namespace tollamer::sql2005
