// The on-disk format of an opened file, chosen once when the file opens.
//
// SQL Server 7.0/2000 files and SQL Server 2005-and-later files differ in
// their system tables, in how a table's data pages are found, in which
// pages and slots hold rows and in how a record lays out its columns. One
// profile object per format answers those questions; everything that reads
// the file asks the profile instead of testing the version itself. Later
// releases of the 2005 format differ only in details the readers take from
// the file (physical column layout, compression), not in the profile.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/page_header.h"
#include "engine/pagestore/server_version.h"
#include "engine/values/large_values.h"

namespace tollamer {

struct CatalogOpenResult {
  bool built = false;         // a builder ran
  bool usedFallback = false;  // the system tables were found by the whole-file scan
};

// The record grid shows a table eight data pages at a time.
inline constexpr size_t kDataPagesPerGridPage = 8;

// How a FixedVar record places its columns.
enum class ColumnLayout : uint8_t {
  kCatalogOffsets,  // the catalog's leaf offsets (xoffset, bitpos) place every column
  kFromTypes,       // laid out from the column types, or the recorded physical layout
};

// What a format's records may hold, as data for the record reader.
struct RecordTraits {
  ColumnLayout columnLayout = ColumnLayout::kCatalogOffsets;
  // Records may be row- or page-compressed (CD records, compression
  // information on the page).
  bool compressedRecords = false;
  // A FixedVar record whose column count is far from the table's ends the
  // page: the rest of its slots are not read.
  bool columnCountEndsPage = false;
  // A complex variable column points off the row (row-overflow and LOB
  // pages); without this a complex flag is damage.
  bool offRowValues = false;
  // What the text/ntext/image trees of the format accept.
  TextTreeRules textTree = kTextTree2000;
  // The record grid shows values as the SQL 2000 viewer did: a damaged
  // decimal as 0, no text for the types SQL 2000 lacks, char values cut at
  // ten blanks, text and ntext cut shorter.
  bool gridTexts2000 = false;
};

// The owner a data page's header names, for a page no table's list holds.
struct DataPageOwner {
  uint32_t table = 0;      // the catalog table it names; 0 when none
  uint64_t lostOwner = 0;  // a user owner no catalog table has; 0 when none
  bool systemTable = false;  // a system base table's page: no user table's
};

class FormatProfile {
 public:
  virtual ~FormatProfile() = default;

  virtual VersionSetting Setting() const = 0;
  // "SQL 2000", "SQL 2005 or later".
  const char* DisplayName() const { return FormatName(Setting()); }
  virtual const RecordTraits& Records() const = 0;

  // Fills db's catalog (and the system page lists it works from) from the
  // system tables, with the whole-file fallback when they cannot be
  // located. The file must be open.
  virtual CatalogOpenResult BuildCatalog(CMdfDatabase& db) const = 0;

  // Builds the table's data page list through its allocation structures.
  // False when they are damaged; then, where TableScanOffered() holds, the
  // caller may offer ScanFileForTable.
  virtual bool LocateTablePages(CMdfDatabase& db, uint32_t object_id) const = 0;
  virtual bool TableScanOffered() const = 0;
  // The whole-file data scan: one table's list, or every table's.
  virtual void ScanFileForTable(CMdfDatabase& db, uint32_t object_id) const = 0;
  virtual void ScanFileForAllTables(CMdfDatabase& db) const = 0;
  // Builds every list the row reader would build on first use (the lists
  // a catalog build does not already hold).
  virtual void LocateAllTablePages(CMdfDatabase& db) const = 0;

  // Page and slot acceptance of the record reader.
  virtual bool AcceptDataPage(const PageHeader& header) const = 0;
  virtual bool AcceptSlotOffset(uint16_t offset) const = 0;

  // The owner the header of a data page names: a catalog table, or a user
  // owner (object id, or allocation unit id) no catalog row describes.
  virtual DataPageOwner OwnerOfDataPage(const CMdfDatabase& db, const PageHeader& header) const = 0;

  // The number of grid pages of a table whose data page list has
  // `entries` entries.
  virtual uint32_t GridPageCount(size_t entries) const = 0;
};

}  // namespace tollamer
