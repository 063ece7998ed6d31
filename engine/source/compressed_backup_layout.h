// How SQL Server lays out a backup written WITH COMPRESSION (observed in
// backups of SQL Server 2016; no published description exists).
//
// The file head, 0x000 to 0x1E0:
//
//   OFFSET  SIZE  FIELD
//   0x00    8     "MSSQLBAK"
//   0x08    4     2 in every file seen
//   0x0C    4     3 in every file seen
//   0x10    ...   not interpreted
//
// From 0x1E0 the file is a chain of records, each behind a 24-byte header:
//
//   OFFSET  SIZE  FIELD
//   0       1     tag: 0x21 block, 0x24 padding, 0x2C end of a chain
//   1       1     block: its decoded size in 512-byte units (at most 128)
//   2       2     length of the record's body after the header fields
//   4       20    not interpreted (leftover bytes, no pattern)
//
//   tag 0x21: a 4-byte check of the body follows the header (each 32-bit
//             little-endian word of the body, the last one zero-padded,
//             taken as check = rotate_left(check, 1) XOR word from 0),
//             then `length` bytes of LZ77+Huffman data (xpress_huffman.h)
//             decoding to exactly size * 512 bytes. The next record starts
//             right after it, unaligned.
//   tag 0x24: `length` bytes of padding up to the next 4 KiB boundary.
//   tag 0x2C: the chain of one data set ends; an index of its blocks fills
//             the rest of its 4 KiB (a head of two 16-bit values, a count,
//             a size and 4 bytes, then `count` pairs of 64-bit values: an
//             offset into the data set's decoded bytes and the file offset
//             of a 0x21 record; the head again in the last 16 bytes). The
//             index is sparse (2 entries for 120 blocks): not needed here.
//
// Between chains, at 4 KiB boundaries, the tape format's soft filemark
// blocks ("SFMB", 4 KiB) stay uncompressed. The decoded blocks and those
// filemarks, in file order, are the same tape-format stream an uncompressed
// backup holds (TAPE, SFMB, SSET ... page images ... ESET).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::compressed_backup {

inline constexpr char kMagic[8] = {'M', 'S', 'S', 'Q', 'L', 'B', 'A', 'K'};
inline constexpr uint64_t kFirstRecord = 0x1E0;
inline constexpr size_t kHeaderSize = 24;
inline constexpr size_t kTag = 0;
inline constexpr size_t kUnits = 1;
inline constexpr size_t kLength = 2;
inline constexpr size_t kCheckSize = 4;  // after a block's header
inline constexpr size_t kUnitBytes = 512;
inline constexpr unsigned kMaxUnits = 128;  // 64 KiB decoded
inline constexpr uint64_t kAlignment = 4096;
inline constexpr size_t kFilemarkSize = 4096;
inline constexpr char kFilemarkMagic[4] = {'S', 'F', 'M', 'B'};
// A file whose head is lost with its first part starts inside a record:
// the next block begins within a block's largest body (64 KiB) and a
// filemark or padding after it.
inline constexpr uint64_t kHeadlessSearch = 128 << 10;
// What another kind of file begins with: a backup in the clear, or a data
// file's page 0 (header version 1, page type 15, the file header).
inline constexpr char kTapeMagic[4] = {'T', 'A', 'P', 'E'};
inline constexpr uint8_t kDataFileStart[2] = {1, 15};

enum class RecordTag : uint8_t {
  kBlock = 0x21,
  kPadding = 0x24,
  kChainEnd = 0x2C,
};

}  // namespace tollamer::compressed_backup
