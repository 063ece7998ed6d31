#include "engine/catalog/collation.h"

#include <array>

#include "engine/pagestore/page_header.h"
#include "engine/pagestore/server_version.h"
#include "platform/text.h"
#include "engine/values/value_types.h"

namespace tollamer {

namespace {

using namespace collation_layout;

struct SortOrderRange {
  uint8_t first;
  uint8_t last;
  uint16_t codePage;
};

// SQL sort order ids (the SQL_ collations and the sort orders of SQL Server
// 6.5/7.0 they keep) and the code page each stores 8-bit text in.
constexpr std::array<SortOrderRange, 19> kSortOrders = {{
    {30, 34, 437},     // SQL_Latin1_General_CP437_*
    {40, 44, 850},     // SQL_Latin1_General_CP850_*
    {49, 49, 850},     // SQL_1xCompat_CP850_CI_AS
    {50, 54, 1252},    // Latin1_General_BIN, SQL_Latin1_General_CP1_*
    {55, 61, 850},     // SQL_AltDiction_CP850_*, SQL_Scandinavian_CP850_*
    {71, 75, 1252},    // Latin1_General_CS_AS ... Icelandic_CS_AS
    {80, 98, 1250},    // *_BIN (1250), SQL_*_CP1250_*
    {104, 108, 1251},  // SQL_Latin1_General_CP1251_*, SQL_Ukrainian_CP1251_*
    {112, 124, 1253},  // SQL_*_CP1253_*
    {128, 130, 1254},  // SQL_Latin1_General_CP1254_*
    {136, 138, 1255},  // SQL_Latin1_General_CP1255_*
    {144, 146, 1256},  // SQL_Latin1_General_CP1256_*
    {152, 160, 1257},  // SQL_*_CP1257_*
    {183, 186, 1252},  // SQL_Danish/SwedishPhone/SwedishStd/Icelandic_Pref_CP1_CI_AS
    {192, 193, 932},   // Japanese_BIN, Japanese_CI_AS
    {194, 195, 949},   // Korean_Wansung_BIN, Korean_Wansung_CI_AS
    {196, 197, 950},   // Chinese_Taiwan_Stroke_BIN, _CI_AS
    {198, 199, 936},   // Chinese_PRC_BIN, Chinese_PRC_CI_AS
    {210, 217, 1252},  // SQL_EBCDIC*_CP1_CS_AS
}};

uint16_t SortOrderCodePage(uint8_t sort_id) {
  switch (sort_id) {
    case 200: return 932;  // Japanese_CS_AS
    case 201: return 949;  // Korean_Wansung_CS_AS
    case 202: return 950;  // Chinese_Taiwan_Stroke_CS_AS
    case 203: return 936;  // Chinese_PRC_CS_AS
    case 204: case 205: case 206: return 874;  // Thai_BIN, Thai_CI_AS, Thai_CS_AS
    default: break;
  }
  for (const SortOrderRange& r : kSortOrders)
    if (sort_id >= r.first && sort_id <= r.last) return r.codePage;
  return 0;
}

// Windows collations by locale index. The index follows the designators in
// the order of their languages' LCIDs: 1 Arabic (0x401), 3
// Chinese_Taiwan_Stroke (0x404), 8 Latin1_General (0x409) and 11 French
// (0x40C) are read from real files; the entries between them are the
// designators of the languages in between (Chinese_PRC at 2 among them).
constexpr std::array<uint16_t, 15> kLocaleCodePages = {
    0,     // 0: none
    1256,  // 1: Arabic
    936,   // 2: Chinese_PRC
    950,   // 3: Chinese_Taiwan_Stroke
    1250,  // 4: Czech
    1252,  // 5: Danish_Norwegian
    1252,  // 6: German_PhoneBook
    1253,  // 7: Greek
    1252,  // 8: Latin1_General
    1252,  // 9: Traditional_Spanish
    1252,  // 10: Finnish_Swedish
    1252,  // 11: French
    1255,  // 12: Hebrew
    1250,  // 13: Hungarian
    1252,  // 14: Icelandic
};

}  // namespace

uint16_t CodePageOfCollation(uint32_t id) {
  if (id == 0) return 0;
  if (id & kUtf8Flag) return platform::kCodePageUtf8;
  const uint8_t sort_id = static_cast<uint8_t>(id >> kSortIdShift);
  if (sort_id != 0) return SortOrderCodePage(sort_id);
  const uint32_t index = id & kLocaleIndexMask;
  return index < kLocaleCodePages.size() ? kLocaleCodePages[index] : 0;
}

std::optional<uint32_t> DatabaseCollation(const PageStore& store) {
  std::optional<Page> page = store.ReadPage(kBootPage);
  if (!page) return std::nullopt;
  std::optional<PageHeader> h = PageHeader::Decode(page->view());
  if (!h || !h->HasType(page_layout::PageType::kBoot)) return std::nullopt;
  ByteView record = page->view().From(kBootRecordOffset);
  // SQL Server 7.0 (dbi_version 515) had no collations: one code page for
  // the whole server, which the file does not name.
  std::optional<uint16_t> version = record.U16(kBootDbiVersion);
  if (!version || *version < kFirstVersionWithCollations) return std::nullopt;
  std::optional<uint32_t> id = record.U32(kBootDbiCollation);
  if (!id || *id == 0) return std::nullopt;
  return id;
}

uint16_t DatabaseCodePage(const PageStore& store) {
  std::optional<uint32_t> id = DatabaseCollation(store);
  const uint16_t code_page = id ? CodePageOfCollation(*id) : 0;
  return code_page != 0 ? code_page : platform::kCodePageWestern;
}

bool IsCodePageText(uint8_t xtype) {
  return xtype == value_type::kChar || xtype == value_type::kVarChar || xtype == value_type::kText;
}

void ResolveColumnCodePages(Catalog& catalog, uint16_t database_code_page) {
  for (auto& [id, table] : catalog.tables) {
    for (auto& [colid, column] : table.columns) {
      if (!IsCodePageText(column.xtype)) continue;
      const uint16_t own = CodePageOfCollation(column.collationId);
      column.codePage = own != 0 ? own : database_code_page;
    }
  }
}

}  // namespace tollamer
