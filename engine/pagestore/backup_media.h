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
//   22             16    media set GUID
//   42             2     family count: how many files the backup was
//                        striped over (1 for a backup in one file)
//   44             2     family sequence number: which of them this file is
//
// (Offsets 42 and 44 as observed in backups of SQL Server 2008 R2 to 2022:
// the count is 2 in files written as one stripe of two, 1 otherwise.)
//
// When the backup was compressed or encrypted, only these headers stay in
// the clear and no page image can be found in the data stream.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace tollamer {

struct BackupMedia {
  bool described = false;      // the RAID stream was found and read
  uint16_t familyCount = 1;    // stripes the backup was written over
  uint16_t familySequence = 1;  // this file's stripe, from 1
  bool Striped() const { return familyCount > 1; }
};

BackupMedia ReadBackupMedia(const platform::ReadOnlyFile& file);

// True when the bytes after the tape headers look compressed or encrypted:
// nearly every byte value equally common, as no stored page data is.
bool BackupStreamLooksScrambled(const platform::ReadOnlyFile& file);

}  // namespace tollamer
