// Large values: text/image values reached through a 16-byte text pointer,
// and the off-row values of complex columns (varchar(max), nvarchar(max),
// varbinary(max), xml) of SQL 2005/2008 files. They live as large-value
// records on text pages (m_type 3 mixed, 4 tree), found through the slot
// array like any record. All numbers are little-endian.
//
// Text pointer, 16 bytes in the data row:
//
//   OFFSET  SIZE  MEANING
//   0       8     timestamp (not read)
//   8       4     page id of the root record
//   12      2     file id
//   14      2     slot id of the root record
//
// Large-value record, offsets from the record start:
//
//   OFFSET  SIZE  MEANING
//   0       2     status bytes (0x0008 on every real record; not read)
//   2       2     record length in bytes (used by data fragments)
//   4       8     large-value id (not read)
//   12      2     record type: 0 small root (data in the record), 8 null,
//                 3 data fragment, 2 internal node, 4 root (2000 files and
//                 2005 files upgraded from 2000), 5 root (2005/2008)
//   14      2     small root: data length; root and node: most links it holds
//   14      -     data fragment: data, (record length - 14) bytes
//   16      2     node or root: number of links
//   18      2     node or root: level; 0 = links point at data fragments,
//                 1 or 2 = links point at further nodes
//   20      -     small root: the data. Internal node: 16-byte links.
//   24      -     root: 12-byte links (bytes 20-23 are zero)
//
// Root link, 12 bytes (root records of every version, the in-row pointer):
//
//   OFFSET  SIZE  MEANING
//   0       4     cumulative size of the value up to the end of this piece
//   4       4     page id
//   8       2     file id
//   10      2     slot id
//
// Node link, 16 bytes (internal nodes below the root):
//
//   OFFSET  SIZE  MEANING
//   0       8     cumulative offset up to the end of this piece
//   8       4     page id
//   12      2     file id
//   14      2     slot id
//
// In-row pointer of a complex column (SQL 2005/2008), L bytes in the row:
//
//   OFFSET  SIZE  MEANING
//   0       1     pointer kind (4 for a LOB root kept in the row)
//   2       1     tree level: 0 = the links point at data records, 1 to 5 =
//                 they point at internal nodes
//   4       4     update sequence (not read)
//   8       4     timestamp (not read)
//   12      -     L / 12 - 1 root links of 12 bytes
//
// text, ntext and image columns of a table with the option 'text in row'
// (sp_tableoption; a limit of 24 to 7000 bytes) keep one of three forms in
// the row's variable column:
//   - a value within the limit and the row's room: the value itself, as a
//     varchar, nvarchar or varbinary value would be kept;
//   - a longer value: its root kept in the row instead of on a text page, in
//     the form of the in-row pointer above (24 bytes for one link, 72 for
//     the five a full root holds), the column marked complex;
//   - otherwise, and in every table without the option, the 16-byte text
//     pointer, whose file id is 1 (the primary file).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::lob_layout {

// Text pointer.
inline constexpr size_t kTextPointerSize = 16;
inline constexpr size_t kTextPointerPageId = 8;
inline constexpr size_t kTextPointerFileId = 12;
inline constexpr size_t kTextPointerSlotId = 14;

// Large-value record.
inline constexpr size_t kRecordLength = 2;
inline constexpr size_t kRecordType = 12;
inline constexpr size_t kSmallRootLength = 14;
inline constexpr size_t kFragmentData = 14;
inline constexpr size_t kLinkCount = 16;
inline constexpr size_t kNodeLevel = 18;
inline constexpr size_t kSmallRootData = 20;
inline constexpr size_t kNodeLinks = 20;
inline constexpr size_t kRootLinks = 24;

inline constexpr uint16_t kTypeSmallRoot = 0;
inline constexpr uint16_t kTypeInternal = 2;
inline constexpr uint16_t kTypeData = 3;
inline constexpr uint16_t kTypeNull = 8;

// Root link (also the links of the in-row pointer).
inline constexpr size_t kRootLinkSize = 12;
inline constexpr size_t kRootLinkSize32 = 0;
inline constexpr size_t kRootLinkPage = 4;
inline constexpr size_t kRootLinkFile = 8;
inline constexpr size_t kRootLinkSlot = 10;

// Node link.
inline constexpr size_t kNodeLinkSize = 16;
inline constexpr size_t kNodeLinkOffset64 = 0;
inline constexpr size_t kNodeLinkPage = 8;
inline constexpr size_t kNodeLinkFile = 12;
inline constexpr size_t kNodeLinkSlot = 14;

// In-row pointer of a complex column.
inline constexpr size_t kInRowHeaderSize = 12;
inline constexpr size_t kInRowLevel = 2;
inline constexpr uint8_t kInRowMaxNodeLevel = 5;
// Internal nodes carry levels up to this; deeper claims end the walk.
inline constexpr uint16_t kMaxNodeLevel = 6;

// The in-row root of a text-in-row value: the header and at least one link.
inline constexpr size_t kInRowRootMinSize = kInRowHeaderSize + 12;

// Text trees of text/ntext/image: levels 0 to 2 below the root.
inline constexpr uint16_t kMaxTextLevel = 2;

// The only file read: the primary file.
inline constexpr uint16_t kPrimaryFileId = 1;

}  // namespace tollamer::lob_layout
