// The rows that say where each column of a rowset lies in its records.
// Offsets count from the record start; all numbers little-endian. Only the
// rows of these exact fixed-part sizes are read: pages that carry the same
// m_objId but hold other rows (left over from another table) are ignored.
//
// sysrscols (object 3, SQL Server 2008; F = 58, 14 columns)
//   OFFSET  SIZE  MEANING
//   4       8     rsid: rowset id (sysrowsets.rowsetid)
//   12      4     rscolid: the column id of syscolpars; 0 for the uniquifier
//   16      4     hbcolid: physical column number
//   20      8     rcmodified
//   28      4     ti: type info, the low byte the system type id
//   32      4     cid: collation
//   36      2     ordkey: position in the clustered key, 0 outside it
//   38      2     maxinrowlen
//   40      4     status
//   44      4     offset: the low 16 bits (signed) are the leaf offset,
//                 4 or more the byte offset of a fixed column, -k the k-th
//                 variable column; the high 16 bits the same for index rows
//   48      4     nullbit: the low 16 bits the 1-based leaf null bit
//                 (0: no null bit); the high 16 bits that of index rows
//   52      2     bitpos: the bit of a bit column within its byte
//   54      4     ordlock
//
// From SQL Server 2012 on, sysrscols rows end after bitpos (F = 54, 13
// columns): ordlock is gone and every field before it keeps its offset.
//
// sysrowsetcolumns (object 4, SQL Server 2005; F = 34)
//   4       8     rowsetid
//   12      4     rowsetcolid: the column id of syscolpars; 0 for the uniquifier
//   16      4     hobtcolid: the hobt column that stores it
//
// syshobtcolumns (object 13, SQL Server 2005; F = 41). The hobt id of a
// table's rowset is its rowset id.
//   4       8     hobtid
//   12      4     hbcolid
//   16      4     status
//   20      2     ordkey
//   22      1     xtype: system type id
//   23      2     length
//   25      1     prec
//   26      1     scale
//   27      4     collation
//   31      4     offset: as in sysrscols
//   35      2     bitpos
//   37      4     nullbit: as in sysrscols
//
// sysrowsets (object 5; F = 39 in 2005, 57 in 2008): rowsetid at 4,
// idmajor (object id) at 13, idminor (index id: 0 heap, 1 clustered) at 17.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::sql2005::rowset_columns_layout {

namespace rscols {
inline constexpr size_t kRsid = 4;
inline constexpr size_t kRscolid = 12;
inline constexpr size_t kHbcolid = 16;
inline constexpr size_t kTypeInfo = 28;
inline constexpr size_t kOffset = 44;
inline constexpr size_t kNullBit = 48;
inline constexpr size_t kBitPos = 52;
inline constexpr uint16_t kFixedSize2008 = 58;
inline constexpr uint16_t kFixedSize2012 = 54;
}  // namespace rscols

namespace rowsetcolumns {
inline constexpr size_t kRowsetId = 4;
inline constexpr size_t kRowsetColId = 12;
inline constexpr size_t kHobtColId = 16;
inline constexpr uint16_t kFixedSize = 34;
}  // namespace rowsetcolumns

namespace hobtcolumns {
inline constexpr size_t kHobtId = 4;
inline constexpr size_t kHbcolid = 12;
inline constexpr size_t kXtype = 22;
inline constexpr size_t kLength = 23;
inline constexpr size_t kPrec = 25;
inline constexpr size_t kScale = 26;
inline constexpr size_t kOffset = 31;
inline constexpr size_t kBitPos = 35;
inline constexpr size_t kNullBit = 37;
inline constexpr uint16_t kFixedSize = 41;
}  // namespace hobtcolumns

namespace rowsets {
inline constexpr size_t kRowsetId = 4;
inline constexpr size_t kIdMajor = 13;
inline constexpr size_t kIdMinor = 17;
inline constexpr size_t kFixedEnd = 21;  // the fields above end here
}  // namespace rowsets


// The leaf half of the offset and nullbit words.
inline constexpr uint32_t kLeafMask = 0xFFFF;
// The in-row rowset of a table: index id 0 (heap) or 1 (clustered).
inline constexpr uint32_t kMaxDataIndexId = 1;

}  // namespace tollamer::sql2005::rowset_columns_layout
