// The nine SQL Server 2005/2008 system base tables that the catalog reads.
//
// Each is known by its object id, which is also the m_objId in the page
// header of its data pages, and by the rowset id under which sysallocunits
// lists its in-row allocation unit: ownerid = index id * 2^48 + object id * 2^16.
//
//   TABLE            OBJECT  ROWSET ID (ownerid)    READ FOR
//   sysclsobjs       64      0x0001000000400000     schema names
//   sysscalartypes   50      0x0001000000320000     type names, user-defined types
//   sysschobjs       34      0x0001000000220000     tables, views, procedures, functions
//   syscolpars       41      0x0001000000290000     columns
//   sysrowsets       5       0x0000000000050000     row counts
//   sysallocunits    7       0x0000000000070000     locating data pages
//   sysidxstats      54      0x0001000000360000     locating data pages
//   sysobjvalues     60      0x00010000003C0000     module texts
//   sysrowsetrefs    65      0x0001000000410000     rowsets of tables whose
//                                                   sysidxstats row gives rowset 0
#pragma once

#include <array>
#include <cstdint>

#include "engine/catalog/catalog_model.h"

namespace tollamer::sql2005 {

struct SystemTable2005 {
  const char* name;
  uint32_t objectId;
  uint64_t rowsetId;
};

constexpr uint64_t RowsetIdOf(uint64_t index_id, uint64_t object_id) {
  return (index_id << 48) | (object_id << 16);
}

// Allocation units of user objects are numbered from 2^56 (m_indexId 256
// and up in their pages' headers).
inline constexpr uint64_t kFirstUserUnitId = uint64_t{1} << 56;
// Objects below this id are the system base tables.
inline constexpr uint32_t kFirstUserObjectId = 100;

inline constexpr uint32_t kSysclsobjs = 64;
inline constexpr uint32_t kSysscalartypes = 50;
inline constexpr uint32_t kSysschobjs = 34;
inline constexpr uint32_t kSyscolpars = 41;
inline constexpr uint32_t kSysrowsets = 5;
inline constexpr uint32_t kSysallocunits = 7;
inline constexpr uint32_t kSysidxstats = 54;
inline constexpr uint32_t kSysobjvalues = 60;
inline constexpr uint32_t kSysrowsetrefs = 65;

// In the order CMdfDatabase holds their page lists.
inline constexpr std::array<SystemTable2005, 9> kSystemTables2005 = {{
    {"sysclsobjs", kSysclsobjs, RowsetIdOf(1, kSysclsobjs)},
    {"sysscalartypes", kSysscalartypes, RowsetIdOf(1, kSysscalartypes)},
    {"sysschobjs", kSysschobjs, RowsetIdOf(1, kSysschobjs)},
    {"syscolpars", kSyscolpars, RowsetIdOf(1, kSyscolpars)},
    {"sysrowsets", kSysrowsets, RowsetIdOf(0, kSysrowsets)},
    {"sysallocunits", kSysallocunits, RowsetIdOf(0, kSysallocunits)},
    {"sysidxstats", kSysidxstats, RowsetIdOf(1, kSysidxstats)},
    {"sysobjvalues", kSysobjvalues, RowsetIdOf(1, kSysobjvalues)},
    {"sysrowsetrefs", kSysrowsetrefs, RowsetIdOf(1, kSysrowsetrefs)},
}};

// The system table whose in-row allocation unit has this rowset id, or null.
inline const SystemTable2005* SystemTableByRowset(uint64_t rowset_id) {
  for (const SystemTable2005& t : kSystemTables2005)
    if (t.rowsetId == rowset_id) return &t;
  return nullptr;
}

// The rowset column tables: where each column of a rowset lies in its
// records. Not among the nine above: they do not count toward the rows the
// location looks for, but their units are followed when met.
//
//   TABLE             OBJECT  ROWSET ID (ownerid)    SERVER
//   sysrscols         3       0x0000000000030000     2008: rowset columns with their layout
//   sysrowsetcolumns  4       0x0000000000040000     2005: rowset column -> hobt column
//   syshobtcolumns    13      0x00000000000D0000     2005: hobt columns with their layout
inline constexpr uint32_t kSysrscols = 3;
inline constexpr uint32_t kSysrowsetcolumns = 4;
inline constexpr uint32_t kSyshobtcolumns = 13;

//
// Read the same way, for the keys and constraints of the tables:
//   sysiscols         55      0x0001000000370000     index key columns
//   syssingleobjrefs  74      0x00010000004A0000     foreign key references
inline constexpr uint32_t kSysiscols = 55;
inline constexpr uint32_t kSyssingleobjrefs = 74;

inline constexpr std::array<SystemTable2005, 5> kLayoutTables2005 = {{
    {"sysrscols", kSysrscols, RowsetIdOf(0, kSysrscols)},
    {"sysrowsetcolumns", kSysrowsetcolumns, RowsetIdOf(0, kSysrowsetcolumns)},
    {"syshobtcolumns", kSyshobtcolumns, RowsetIdOf(0, kSyshobtcolumns)},
    {"sysiscols", kSysiscols, RowsetIdOf(1, kSysiscols)},
    {"syssingleobjrefs", kSyssingleobjrefs, RowsetIdOf(1, kSyssingleobjrefs)},
}};

inline const SystemTable2005* LayoutTableByRowset(uint64_t rowset_id) {
  for (const SystemTable2005& t : kLayoutTables2005)
    if (t.rowsetId == rowset_id) return &t;
  return nullptr;
}

// Object types of sysschobjs that enter the catalog.
inline constexpr char kTypeUserTable[2] = {'U', ' '};
inline constexpr char kTypeView[2] = {'V', ' '};
inline constexpr char kTypeProcedure[2] = {'P', ' '};
inline constexpr char kTypeScalarFunction[2] = {'F', 'N'};

// Objects the server itself ships, which the catalog leaves out: from SQL
// Server 2012 on a database file lists the system views, procedures and
// functions with negative object ids, and the sys and INFORMATION_SCHEMA
// schemas (fixed ids) hold the rest, such as the system tables
// trace_xe_action_map and the CLR types hierarchyid, geometry, geography.
inline constexpr uint32_t kInformationSchemaId = 3;
inline constexpr uint32_t kSysSchemaId = 4;
inline constexpr bool IsSystemSchema(uint32_t schema_id) {
  return schema_id == kInformationSchemaId || schema_id == kSysSchemaId;
}
inline constexpr bool IsSystemObject(uint32_t object_id, uint32_t schema_id) {
  return static_cast<int32_t>(object_id) < 0 || IsSystemSchema(schema_id);
}


// The location stops screening sysallocunits pages once this many rows of
// the nine tables have been met.
inline constexpr int kSystemRowsWanted = 9;

}  // namespace tollamer::sql2005
