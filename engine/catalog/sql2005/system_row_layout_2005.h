// Fixed positions in the rows of the SQL 2005/2008 system base tables.
// Offsets count from the start of the record. F is the 16-bit value at
// record offset 2 (end of the fixed part); the 16-bit column count K lies at
// F, followed by a null bitmap of N = ceil(K / 8) bytes, the 16-bit number
// of variable columns V and their 16-bit end offsets.
//
// sysallocunits (object 7; F = 69 in 2005, 73 in 2008 with dbfragid)
//   OFFSET  SIZE  MEANING
//   4       8     auid: allocation unit id
//   12      1     type: 1 in-row data, 2 LOB data, 3 row-overflow data
//   13      8     ownerid: rowset id of the owning rowset
//   27      6     pgfirst: first data page
//   33      6     pgroot: root page
//   39      4     pgfirstiam, page number: first IAM page of the unit
//   43      2     pgfirstiam, file id: 0 when the unit has no IAM page
//   45      8     pcused: pages used; 8 or more: extents are in use as well
//
// sysrowsets (object 5)
//   4       8     rowsetid
//   13      4     idmajor: object id
//   17      4     idminor: index id
//   31      8     rcrows: row count
//
// sysschobjs (object 34; F = 44, K = 11)
//   4       4     id: object id
//   8       4     nsid: schema id (the low 16 bits are used)
//   13      4     status (module SET options, foreign key actions)
//   17      2     type: two ASCII characters ("U ", "V ", "P ", "FN", ...)
//   F + 6   2     end offset of the name
//   F + 8   -     name, UTF-16LE, up to that end offset
//
// sysclsobjs (object 64; F = 35, K = 8)
//   4       1     class: 50 = schema
//   5       4     id
//   40      2     end offset of the name
//   42      -     name, UTF-16LE
//
// sysscalartypes (object 50; F = 49, K = 13)
//   4       4     id: type id
//   8       4     schid: schema id (4 = sys: the CLR system types)
//   12      1     xtype: system type id of the base type
//   13      2     length in bytes; 0xFFFF = max
//   15      1     prec
//   16      1     scale
//   21      4     status: bit 0 set = not nullable
//   55      2     end offset of the name
//   57      -     name, UTF-16LE
//
// syscolpars (object 41; F = 45, K = 16)
//   4       4     id: object id of the table
//   10      4     colid (the low 16 bits are used)
//   14      1     xtype
//   15      4     utype: type id (the low 16 bits are used)
//   19      2     length in bytes; 0xFFFF = max
//   21      1     prec
//   22      1     scale
//   23      4     collationid (collation.h); 0 on columns without text
//   27      4     status: bit 0 set = not nullable; 0x10 and 0x80 both set
//                 in the low byte: not a column of the table
//   F+2+N   2     V: number of variable columns
//   F+4+N   2     E: end offset of the name
//   53      -     name when V = 1 (55 when V = 2: one more end offset)
//
// sysobjvalues (object 60; F = 17)
//   4       1     valclass
//   5       4     objid
//   9       4     subobjid
//   13      4     valnum
//   F+4+N   2     end of the first variable column = start S of imageval
//   F+6+N   2     end of imageval; 0x8000 set: stored off-row, the in-row
//                 bytes are a pointer
//
// sysidxstats (object 54; F = 39)
//   4       4     id: object id
//   8       4     indid: 0 heap, 1 clustered index
//   31      8     rowset: rowset id; 0 = look the rowsets up in sysrowsetrefs
//
// sysrowsetrefs (object 65; F = 25)
//   5       4     objid
//   9       4     indexid
//   17      8     rowsetid
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::sql2005::row_layout {

// Common record header.
inline constexpr size_t kFixedEnd = 2;  // F

namespace allocunits {
inline constexpr size_t kAuid = 4;
inline constexpr size_t kType = 12;
inline constexpr size_t kOwnerId = 13;
inline constexpr size_t kPgFirst = 27;
inline constexpr size_t kPgRoot = 33;
inline constexpr size_t kPgFirstIam = 39;
inline constexpr size_t kPgFirstIamFileId = 43;
inline constexpr size_t kPcUsed = 45;
inline constexpr size_t kFixedSize2005 = 69;
inline constexpr size_t kFixedSize2008 = 73;
inline constexpr uint8_t kInRowData = 1;
inline constexpr uint8_t kLobData = 2;
}  // namespace allocunits

namespace rowsets {
inline constexpr size_t kRowsetId = 4;
inline constexpr size_t kIdMajor = 13;
inline constexpr size_t kIdMinor = 17;
inline constexpr size_t kRcRows = 31;
}  // namespace rowsets

namespace schobjs {
inline constexpr size_t kId = 4;
inline constexpr size_t kNsid = 8;
inline constexpr size_t kStatus = 13;
inline constexpr size_t kType = 17;
inline constexpr size_t kNameEndFromF = 6;
inline constexpr size_t kNameStartFromF = 8;
inline constexpr size_t kFixedSize = 44;
}  // namespace schobjs

namespace clsobjs {
inline constexpr size_t kClass = 4;
inline constexpr size_t kId = 5;
inline constexpr size_t kNameEnd = 40;
inline constexpr size_t kNameStart = 42;
inline constexpr uint8_t kClassSchema = 50;
}  // namespace clsobjs

namespace scalartypes {
inline constexpr size_t kId = 4;
inline constexpr size_t kSchid = 8;
inline constexpr size_t kXtype = 12;
inline constexpr size_t kLength = 13;
inline constexpr size_t kPrec = 15;
inline constexpr size_t kScale = 16;
inline constexpr size_t kStatus = 21;
inline constexpr size_t kNameEnd = 55;
inline constexpr size_t kNameStart = 57;
}  // namespace scalartypes

namespace colpars {
inline constexpr size_t kId = 4;
inline constexpr size_t kColid = 10;
inline constexpr size_t kXtype = 14;
inline constexpr size_t kUtype = 15;
inline constexpr size_t kLength = 19;
inline constexpr size_t kPrec = 21;
inline constexpr size_t kScale = 22;
inline constexpr size_t kCollationId = 23;
inline constexpr size_t kStatus = 27;
inline constexpr size_t kVarCountFromFN = 2;  // F + 2 + N
inline constexpr size_t kNameEndFromFN = 4;   // F + 4 + N
inline constexpr size_t kNameStartOneVar = 53;
inline constexpr size_t kNameStartTwoVars = 55;
inline constexpr uint8_t kSkipStatusBits = 0x90;  // both set: skip the row
}  // namespace colpars

namespace objvalues {
inline constexpr size_t kValClass = 4;
inline constexpr size_t kObjId = 5;
inline constexpr size_t kValueStartFromFN = 4;  // F + 4 + N
inline constexpr size_t kValueEndFromFN = 6;    // F + 6 + N
inline constexpr uint16_t kOffRowBit = 0x8000;
}  // namespace objvalues

namespace idxstats {
inline constexpr size_t kId = 4;
inline constexpr size_t kIndId = 8;
inline constexpr size_t kRowset = 31;
}  // namespace idxstats

namespace rowsetrefs {
inline constexpr size_t kObjId = 5;
inline constexpr size_t kIndexId = 9;
inline constexpr size_t kRowsetId = 17;
}  // namespace rowsetrefs

// A sysname holds at most 128 UTF-16 units; a longer name range is damage.
inline constexpr size_t kMaxNameBytes = 256;

}  // namespace tollamer::sql2005::row_layout
