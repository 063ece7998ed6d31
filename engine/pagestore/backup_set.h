// The backup sets of a Microsoft Tape Format file.
//
// One backup file can hold several backups, each appended after the last
// (BACKUP ... WITH NOINIT). Each begins with an SSET descriptor block on a
// 512-byte boundary, the set's page images follow, and an ESET block ends
// it. The SSET block, after the 52-byte common block header:
//
//   OFFSET  SIZE  FIELD
//   0x00    4     block type "SSET"
//   0x34    4     set attributes: 0x04 normal (a full backup), 0x08
//                 differential, 0x10 incremental (a log backup), 0x02 copy
//   0x3E    2     data set number: 1 for the first set in the file
//   0x58    5     media write date, packed big-endian: year 14 bits, month
//                 4, day 5, hour 5, minute 6, second 6 (server local time)
//
// The database name is the one the set's boot page holds (dbi_dbname,
// nchar(128) at boot record offset 52, padded with blanks).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

enum class BackupSetType : uint8_t { kUnknown, kFull, kDifferential, kLog };

struct BackupDate {
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct BackupSetHeader {
  uint16_t number = 1;
  BackupSetType type = BackupSetType::kUnknown;
  bool copyOnly = false;
  std::optional<BackupDate> written;
};

inline constexpr char kSsetMagic[4] = {'S', 'S', 'E', 'T'};

// The SSET block that `block` (its first sector at least) begins; nothing
// when it is not one.
std::optional<BackupSetHeader> DecodeSsetBlock(ByteView block);

// "full", "differential", "log", "unknown".
const char* BackupSetTypeName(BackupSetType type);
// "2009-08-11 14:57:39"; empty when the date is not known.
std::string FormatBackupDate(const std::optional<BackupDate>& date);

// dbi_dbname of a boot page, trailing blanks removed; nothing when the page
// is too short or the name is empty.
std::optional<std::string> BootPageDatabaseName(ByteView boot_page);

}  // namespace tollamer
