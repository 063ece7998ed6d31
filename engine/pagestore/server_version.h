// The server version setting, and a detector that proposes one.
//
// The setting decides which catalog builder, whole-file scan and row decoder
// run. The user chooses it; DetectServerVersion only proposes a choice.
//
// Boot page (page 9, m_type 13): its record starts at page offset 96
// whatever the slot array says.
//
//   RECORD OFFSET  SIZE  FIELD
//   4              2     dbi_version        version of the on-disk format
//   6              2     dbi_createVersion  format version the database was created with
//
// dbi_version by release (each release and its updates keep to a range):
//   515 7.0        539 2000       611-612 2005    655 2008     660-661 2008 R2
//   706 2012       782 2014       852 2016        868-869 2017 895-904 2019
//   950-957 2022   998 2025
// SQL 2005 and every later release share one page and record format, read
// by the 2005 reader; the later ones differ only in details the readers
// take from the file itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/page_store.h"

namespace tollamer {

enum class VersionSetting : int32_t {
  kNone = -1,     // no choice made: no catalog is built
  kSql2000 = 0,   // SQL Server 7.0 and 2000
  kSql2005 = 1,   // SQL Server 2005 and 2008
};

inline constexpr uint64_t kBootPage = 9;
inline constexpr size_t kBootRecordOffset = page_layout::kHeaderSize;
inline constexpr size_t kBootDbiVersion = 4;
inline constexpr size_t kBootDbiCreateVersion = 6;

enum class VersionEvidence {
  kNone,       // nothing to go on
  kBootPage,   // read from the boot page
  kDataPages,  // inferred from the layout of system table pages
  kFileHeader, // a secondary file alone: from its file header's column count
};

// The file header record's column count (record offset 8): 45 and more
// from SQL Server 2005 on.
inline constexpr size_t kFileHeaderColumns = 8;
inline constexpr uint16_t kFileHeaderColumns2005 = 45;

struct VersionGuess {
  VersionSetting setting = VersionSetting::kNone;
  std::optional<uint16_t> dbiVersion;
  std::optional<uint16_t> createVersion;
  std::string name;               // "SQL Server 2008", empty when unknown
  bool newerThanKnown = false;    // past every known range: read as the newest known
  VersionEvidence evidence = VersionEvidence::kNone;
};

// Name and setting for a dbi_version value.
VersionGuess VersionFromDbiVersion(uint16_t dbi_version);

// The name of the on-disk format a setting reads: "SQL 2000", "SQL 2005 or
// later", "none".
const char* FormatName(VersionSetting setting);

// The name of the newest release this reader knows ("SQL Server 2025").
const char* NewestKnownVersionName();

VersionGuess DetectServerVersion(const PageStore& store);

}  // namespace tollamer
