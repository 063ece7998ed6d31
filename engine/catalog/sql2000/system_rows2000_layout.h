// The SQL Server 7.0/2000 system tables that the catalog reads, and the
// fields of their rows. Every system row is a FixedVar record: status byte,
// a second status byte, the fixed-part end F at offset 2, the fixed columns,
// the column count, the null bitmap (one bit per column, rounded up to whole
// bytes), the variable-column count and the 16-bit end offsets of the
// variable columns (row-relative). A row's name is its first variable
// column, stored as UTF-16LE.
//
// System objects (m_objId of their pages, id of their rows):
//   1 sysobjects, 2 sysindexes, 3 syscolumns, 4 systypes, 6 syscomments,
//   10 sysusers, 20 sysindexkeys (collected with the others, never read).
//
// sysindexes row:
//   OFFSET  SIZE  MEANING
//   0x04    4     id: the object the row describes
//   0x12    2     indid: 0 heap, 1 clustered index, 2..250 other indexes,
//                 255 the text/image chain
//   0x20    4     dpages: data pages of the object
//   0x2C    8     rowcnt: rows of the object
//   0x44    6     FirstIAM: page pointer to the object's first IAM page
//
// sysobjects row (F = 0x2A):
//   0x04    4     id
//   0x08    2     xtype, two ASCII characters ("U ", "V ", "P ", "FN", "S ", ...)
//   0x0C    2     uid: the owner's user id (sysusers)
//   0x0E    2     info: number of columns of a table
//   0x10    4     status: sign bit set on objects the server ships (the
//                 views sysconstraints and syssegments of every database)
//   0x2A    2     column count of the row
//   var 1   -     name
//
// sysusers row (F = 0x1A):
//   0x04    2     uid
//   0x1A    2     column count of the row
//   var 1   -     name
//
// syscolumns row (F = 0x2E):
//   0x04    4     id of the owning object
//   0x08    1     xtype
//   0x09    1     typestat: bit 0 set = NOT NULL
//   0x0A    2     xusertype
//   0x0C    2     length in bytes
//   0x0E    1     xprec
//   0x0F    1     xscale
//   0x10    2     colid
//   0x12    2     xoffset: position of the value in the record (< 0: variable column)
//   0x14    1     bitpos
//   0x16    2     colstat
//   0x26    4     collationid (collation.h); 0 on columns without text
//   F       2     column count of the row
//   var 1   -     name
//
// systypes row (F = 0x1C):
//   0x04    1     xtype
//   0x05    1     status: bit 0 set = NOT NULL
//   0x06    2     xusertype (256 = sysname; above 256 a user-defined type)
//   0x08    2     length
//   0x0A    1     xprec
//   0x0B    1     xscale
//   F       2     column count of the row
//   var 1   -     name
//
// syscomments row (F = 0x0E):
//   0x04    4     id of the object the text belongs to
//   0x08    2     number (procedure group number)
//   0x0A    2     colid: sequence number of the text piece
//   0x0C    2     status: 2 on 8-bit text, 0 on UTF-16LE text
//   F       2     column count of the row
//   F + 6 + bitmap  text, up to the first end offset: 8-bit or UTF-16LE
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/pagestore/page_layout.h"

namespace tollamer::sql2000 {

namespace object_id {
inline constexpr uint32_t kSysObjects = 1;
inline constexpr uint32_t kSysIndexes = 2;
inline constexpr uint32_t kSysColumns = 3;
inline constexpr uint32_t kSysTypes = 4;
inline constexpr uint32_t kSysComments = 6;
inline constexpr uint32_t kSysUsers = 10;
inline constexpr uint32_t kSysIndexKeys = 20;
inline constexpr uint32_t kSysReferences = 14;
}  // namespace object_id

// Every record begins with its fixed-part end.
inline constexpr size_t kFixedPartEnd = 0x02;

namespace sysindexes {
inline constexpr size_t kId = 0x04;
inline constexpr size_t kIndid = 0x12;
inline constexpr size_t kDataPages = 0x20;
inline constexpr size_t kRowCount = 0x2C;
inline constexpr size_t kFirstIam = 0x44;
inline constexpr uint16_t kHeap = 0;
inline constexpr uint16_t kClustered = 1;
// With this many data pages or more the object owns uniform extents, which
// only the IAM bitmap names.
inline constexpr uint32_t kExtentThreshold = 8;
}  // namespace sysindexes

namespace sysobjects {
inline constexpr size_t kId = 0x04;
inline constexpr size_t kXtype = 0x08;
inline constexpr size_t kUid = 0x0C;
inline constexpr size_t kInfo = 0x0E;
inline constexpr size_t kStatus = 0x10;
inline constexpr uint32_t kShippedWithServer = 0x80000000;
inline constexpr size_t kColumnCount = 0x2A;  // read here, whatever F says
// xtype as a little-endian 16-bit value.
inline constexpr uint16_t kUserTable = 0x2055;  // "U "
inline constexpr uint16_t kView = 0x2056;       // "V "
inline constexpr uint16_t kProcedure = 0x2050;  // "P "
inline constexpr uint16_t kFunction = 0x4E46;   // "FN"
inline constexpr uint16_t kSystemTable = 0x2053;  // "S "
}  // namespace sysobjects

namespace sysusers {
inline constexpr size_t kUid = 0x04;
inline constexpr size_t kColumnCount = 0x1A;  // read here, whatever F says
}  // namespace sysusers

namespace syscolumns {
inline constexpr size_t kId = 0x04;
inline constexpr size_t kXtype = 0x08;
inline constexpr size_t kTypeStat = 0x09;
inline constexpr size_t kXusertype = 0x0A;
inline constexpr size_t kLength = 0x0C;
inline constexpr size_t kXprec = 0x0E;
inline constexpr size_t kXscale = 0x0F;
inline constexpr size_t kColid = 0x10;
inline constexpr size_t kXoffset = 0x12;
inline constexpr size_t kBitpos = 0x14;
inline constexpr size_t kColstat = 0x16;
inline constexpr size_t kCollationId = 0x26;
}  // namespace syscolumns

namespace systypes {
inline constexpr size_t kXtype = 0x04;
inline constexpr size_t kStatus = 0x05;
inline constexpr size_t kXusertype = 0x06;
inline constexpr size_t kLength = 0x08;
inline constexpr size_t kXprec = 0x0A;
inline constexpr size_t kXscale = 0x0B;
// 0x0C tdefault (4), 0x10 domain (4), then the owner's uid.
inline constexpr size_t kUid = 0x14;
}  // namespace systypes

namespace syscomments {
inline constexpr size_t kId = 0x04;
inline constexpr size_t kColid = 0x0A;
// The text follows the column count (2), the null bitmap, the variable
// column count (2) and one end offset (2).
inline constexpr size_t kTextAfterBitmap = 6;
// Pages claiming more slots than this are not syscomments pages.
inline constexpr uint16_t kMaxSlots = 0x1000;
}  // namespace syscomments

// Offsets and lengths from the page size up are implausible in a row.
inline constexpr uint32_t kImplausible = page_layout::kPageSize;

}  // namespace tollamer::sql2000
