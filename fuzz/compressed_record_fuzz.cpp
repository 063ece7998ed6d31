// Compressed records of SQL 2008 row- and page-compressed tables: the
// compression information of a page with its anchor record and dictionary,
// then every slot decoded as a CD record. The page is the first 8192 bytes
// of the input; the bytes after it (pairs of type id and length) describe
// the table's columns, a fixed mix of types when there are none.
#include <map>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_header.h"
#include "engine/rows/compressed_page_info.h"
#include "engine/rows/compressed_record.h"
#include "engine/rows/compressed_row.h"
#include "engine/rows/table_rows_text.h"
#include "fuzz/fuzz_support.h"

namespace {

std::map<uint16_t, tollamer::ColumnInfo> Columns(std::span<const uint8_t> spec) {
  struct Type {
    uint8_t xtype;
    uint16_t length;
  };
  static constexpr Type kDefault[] = {{56, 4},   {127, 8},  {167, 50}, {231, 100}, {106, 9},
                                      {61, 8},   {104, 1},  {175, 10}, {165, 0xFFFF},
                                      {36, 16},  {60, 8},   {40, 3},   {42, 8},    {241, 0xFFFF}};
  std::map<uint16_t, tollamer::ColumnInfo> columns;
  auto add = [&](uint8_t xtype, uint16_t length) {
    tollamer::ColumnInfo c;
    c.colid = static_cast<uint16_t>(columns.size() + 1);
    c.name = "c" + std::to_string(c.colid);
    c.xtype = xtype;
    c.length = length;
    c.xprec = 18;
    c.xscale = static_cast<uint8_t>(length % 8);
    columns[c.colid] = c;
  };
  if (spec.size() < 3) {
    for (const Type& t : kDefault) add(t.xtype, t.length);
  } else {
    for (size_t i = 0; i + 3 <= spec.size() && columns.size() < 64; i += 3)
      add(spec[i], tollamer::fuzz::U16At(spec, i + 1));
  }
  return columns;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  std::vector<uint8_t> page = tollamer::fuzz::FirstPage(input);
  const auto columns =
      Columns(size > tollamer::fuzz::kPageBytes ? input.subspan(tollamer::fuzz::kPageBytes)
                                                : std::span<const uint8_t>{});
  tollamer::SilentMessages messages;
  tollamer::PageStore unopened(messages);
  // Compressed records belong to the 2005-and-later format.
  const tollamer::RecordTraits& traits =
      tollamer::ProfileFor(tollamer::VersionSetting::kSql2005)->Records();

  tollamer::AnchorEntries anchor;
  tollamer::DictionaryEntries dictionary;
  if (auto info = tollamer::ReadCompressionInfoHeader(page)) {
    if (info->hasAnchor) {
      if (auto a = tollamer::ParseAnchorRecord(page, info->anchorRecordOffset, columns, messages))
        anchor = std::move(*a);
    }
    if (info->hasDictionary) dictionary = tollamer::ParseDictionary(page, info->dictionaryOffset);
  }
  auto header = tollamer::PageHeader::Decode(page);
  const size_t slots = header ? std::min<size_t>(header->slotCnt, 2048) : 0;
  for (size_t slot = 0; slot < slots; ++slot) {
    auto offset = tollamer::SlotOffset(page, slot);
    if (!offset) continue;
    if (auto record = tollamer::CdRecord::Open(page, *offset)) {
      auto long_region = tollamer::CheckedLongRegion(*record, messages);
      for (uint32_t c = 0; c < record->ColumnCount() && c < 1100; ++c)
        (void)record->Locate(c, long_region);
    }
    auto values = tollamer::DecodeCompressedTyped(page, *offset, columns, anchor, dictionary,
                                                  unopened, traits, messages);
    if (!values) continue;
    std::vector<std::string> texts;
    tollamer::SetCompressedGridTexts(std::move(*values), columns, texts);
  }
  return 0;
}
