// Boot sectors of the file systems that the fragment search recognises, and
// the NTFS file record parts it reads to find the volume bitmap.
//
// Boot sector (512 bytes at the volume's first sector):
//   OFFSET  SIZE  FIELD
//   3       8     OEM name: "NTFS    " on NTFS
//   11      2     bytes per sector
//   13      1     sectors per cluster
//   14      2     reserved sectors (FAT)
//   16      1     number of FATs (0 on NTFS)
//   17      2     root directory entries (0 on FAT32 and NTFS)
//   19      2     total sectors, 16-bit (0 when the 32-bit field is used)
//   22      2     sectors per FAT, 16-bit (0 on FAT32 and NTFS)
//   28      4     hidden sectors (sectors before the volume)
//   32      4     total sectors, 32-bit (FAT)
//   36      4     sectors per FAT, 32-bit (FAT32)
//   40      8     total sectors (NTFS)
//   44      4     root directory cluster (FAT32)
//   48      8     first cluster of the MFT (NTFS)
//   50      2     sector of the backup boot sector (FAT32: 6)
//   54      8     file system type "FAT16   " (FAT16)
//   82      8     file system type "FAT32   " (FAT32)
//   510     2     signature 0xAA55
//
// FAT32: cluster 2 is the first cluster of the data area, which begins after
// the reserved sectors and the FATs; a FAT entry of 0 marks a free cluster.
// FAT16: the same with 16-bit FAT entries (FAT size in the 16-bit field at
// 22), and between the FATs and the data area the fixed root directory
// region of (root directory entries * 32) bytes, rounded up to sectors.
//
// NTFS file record (1024 bytes; record 6 is $Bitmap, two sectors per record):
//   RECORD OFFSET  SIZE  FIELD
//   4              2     offset of the update sequence array
//   6              2     entries in it (1 + sectors of the record)
//   20             2     offset of the first attribute
// The last two bytes of each sector hold the update sequence number; the
// array keeps the bytes that belong there.
//
// Attribute (type 0xFFFFFFFF ends the list):
//   ATTRIBUTE OFFSET  SIZE  FIELD
//   0                 4     type: 0x30 file name, 0x80 data
//   4                 4     length of the whole attribute
//   8                 1     non-resident flag
//   20                2     resident: offset of the value
//   32                2     non-resident: offset of the run list
// File name value: name length in characters at 64, UTF-16 name from 66.
// Run list: a header byte (low nibble: size of the length field, high
// nibble: size of the signed offset field, relative to the previous run's
// cluster; 0 means a sparse run), the two fields, ..., a 0 header ends it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::volume_layout {

inline constexpr size_t kOemName = 3;
inline constexpr size_t kBytesPerSector = 11;
inline constexpr size_t kSectorsPerCluster = 13;
inline constexpr size_t kReservedSectors = 14;
inline constexpr size_t kFatCount = 16;
inline constexpr size_t kRootEntries = 17;
inline constexpr size_t kTotalSectors16 = 19;
inline constexpr size_t kFatSize16 = 22;
inline constexpr size_t kHiddenSectors = 28;
inline constexpr size_t kTotalSectors32 = 32;
inline constexpr size_t kFatSize32 = 36;
inline constexpr size_t kNtfsTotalSectors = 40;
inline constexpr size_t kRootCluster = 44;
inline constexpr size_t kMftCluster = 48;
inline constexpr size_t kBackupBootSector = 50;
inline constexpr size_t kFat16TypeName = 54;
inline constexpr size_t kFat32TypeName = 82;
inline constexpr size_t kSignature = 510;

inline constexpr uint16_t kBootSignature = 0xAA55;
inline constexpr uint16_t kSectorBytes = 512;
inline constexpr uint16_t kFat32BackupBootSector = 6;
inline constexpr uint16_t kFat16RootEntries = 512;
inline constexpr uint32_t kFirstDataCluster = 2;
inline constexpr uint64_t kDirectoryEntryBytes = 32;

inline constexpr size_t kMftRecordSize = 1024;
inline constexpr uint64_t kBitmapRecordSector = 12;  // record 6 * 2 sectors
inline constexpr size_t kUpdateSequenceOffset = 4;
inline constexpr size_t kUpdateSequenceCount = 6;
inline constexpr size_t kFirstAttribute = 20;

inline constexpr size_t kAttrType = 0;
inline constexpr size_t kAttrLength = 4;
inline constexpr size_t kAttrNonResident = 8;
inline constexpr size_t kAttrValueOffset = 20;
inline constexpr size_t kAttrRunListOffset = 32;
inline constexpr uint32_t kAttrFileName = 0x30;
inline constexpr uint32_t kAttrData = 0x80;
inline constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

inline constexpr size_t kFileNameLength = 64;
inline constexpr size_t kFileNameChars = 66;

}  // namespace tollamer::volume_layout
