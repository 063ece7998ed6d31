// What a full backup's tape header says about the media it belongs to.
//
// A backup file starts with the Microsoft Tape Format TAPE descriptor block:
//
//   OFFSET  SIZE  FIELD
//   0x00    4     block type "TAPE"
//   0x08    2     offset of the block's first stream, from the block start
//
// SQL Server writes its media set description as that first stream:
//
//   STREAM OFFSET  SIZE  FIELD
//   0              4     stream id "RAID"
//   8              8     stream length (32 in every backup seen)
//   22             16    media set GUID: the same in every file of one
//                        striped backup
//   42             2     family count: how many files the backup was
//                        striped over (1 for a backup in one file)
//   44             2     media number within the family (1: one file each)
//   46             2     family sequence number: which of them this file is
//
// (Offsets as observed in backups of SQL Server 2005 to 2022: the two files
// of one backup striped over two carry one GUID, count 2 and sequences 1
// and 2; a backup in one file carries 1, 1, 1.)
//
// When the backup was compressed or encrypted, only these headers stay in
// the clear and no page image can be found in the data stream.
#pragma once

#include <array>
#include <cstdint>

#include "platform/file.h"

namespace tollamer {

struct BackupMedia {
  bool described = false;      // the RAID stream was found and read
  uint16_t familyCount = 1;    // stripes the backup was written over
  uint16_t familySequence = 1;  // this file's stripe, from 1
  std::array<uint8_t, 16> mediaSetId{};  // the media set GUID as stored
  bool Striped() const { return familyCount > 1; }
};

BackupMedia ReadBackupMedia(const platform::ReadOnlyFile& file);

// True when the bytes after the tape headers look compressed or encrypted:
// nearly every byte value equally common, as no stored page data is.
bool BackupStreamLooksScrambled(const platform::ReadOnlyFile& file);

}  // namespace tollamer
