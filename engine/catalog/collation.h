// The collation id the system tables keep for every character column
// (syscolumns in SQL 7.0/2000, syscolpars in 2005 and later) and for the
// database (boot page), and the code page its 8-bit text is stored in.
//
// A collation id is a 32-bit little-endian number:
//
//   BITS    MEANING
//   0-11    locale index of a Windows collation (0 for SQL collations):
//           an entry of the server's table of collation designators, not
//           an LCID; 8 is Latin1_General
//   12      ignore case      (CI)
//   13      ignore accents   (AI)
//   14      ignore kana      (kana-insensitive: no _KS)
//   15      ignore width     (width-insensitive: no _WS)
//   16      binary (_BIN)
//   17      binary code point (_BIN2)
//   18      the text is UTF-8 (the _UTF8 collations of SQL Server 2019)
//   20-23   collation version (_90, _100, _140 designators)
//   24-31   SQL sort order id; non-zero for the SQL_ collations, whose
//           code page the sort order alone decides
//
// The flags are those of the collation in the TDS protocol, in the same
// order; where TDS carries an LCID in the low 20 bits, the files carry the
// locale index. Examples from real files: 0x3400D008 is
// SQL_Latin1_General_CP1_CI_AS (sort order 52), 0x0000D008
// Latin1_General_CI_AS, 0x00001008 Latin1_General_CI_AS_KS_WS (the system
// tables' own columns), 0x00010008 Latin1_General_BIN, 0x0000D00B
// French_CI_AS, 0x0000F001 Arabic_CI_AI, 0x0000D003
// Chinese_Taiwan_Stroke_CI_AS.
//
// Boot page: dbi_collation, the database default, at record offset 392
// (SQL Server 2000 and later; 7.0 files have none).
#pragma once

#include <cstdint>
#include <optional>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

namespace collation_layout {
inline constexpr uint32_t kLocaleIndexMask = 0x00000FFF;
inline constexpr uint32_t kUtf8Flag = 0x00040000;
inline constexpr unsigned kSortIdShift = 24;
inline constexpr size_t kBootDbiCollation = 392;  // record offset in the boot page
inline constexpr uint16_t kFirstVersionWithCollations = 539;  // dbi_version of SQL Server 2000
}  // namespace collation_layout

// The code page of the 8-bit text of collation `id`: 65001 for a _UTF8
// collation, 0 when the id is 0 or names a collation not known here.
uint16_t CodePageOfCollation(uint32_t id);

// The database default collation from the boot page; nothing when the boot
// page cannot be read or holds 0.
std::optional<uint32_t> DatabaseCollation(const PageStore& store);

// The code page of the database's default collation, 1252 when it is unknown.
uint16_t DatabaseCodePage(const PageStore& store);

// Whether `xtype` stores 8-bit text in a code page (char, varchar, text).
bool IsCodePageText(uint8_t xtype);

// Sets codePage on every char, varchar and text column of the catalog: the
// column's own collation, else the database default, else 1252.
void ResolveColumnCodePages(Catalog& catalog, uint16_t database_code_page);

}  // namespace tollamer
