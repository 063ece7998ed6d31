#include "engine/rows/compressed_page_info.h"

#include <algorithm>

#include "engine/pagestore/page_layout.h"
#include "engine/rows/cd_record_layout.h"
#include "engine/rows/compressed_record.h"

namespace tollamer {

using namespace cd_layout;

std::optional<CompressionInfoHeader> ReadCompressionInfoHeader(ByteView page) {
  const ByteView ci = page.From(kCiPageOffset);
  const auto header = ci.U8(kCiHeader);
  if (!header || (*header & ~kCiKnownBits) != 0) return std::nullopt;

  CompressionInfoHeader info;
  info.header = *header;
  info.hasAnchor = (*header & kCiHasAnchor) != 0;
  info.hasDictionary = (*header & kCiHasDictionary) != 0;
  size_t field = kCiFirstField;
  std::optional<uint16_t> anchor_field;
  if (info.hasAnchor) {
    anchor_field = ci.U16(field);
    if (!anchor_field) return std::nullopt;
    field += kCiFieldSize;
  }
  if (info.hasDictionary) {
    if (!ci.U16(field)) return std::nullopt;
    field += kCiFieldSize;
  }
  info.anchorRecordOffset = field;
  // The anchor's field gives the dictionary's place. Without an anchor
  // record nothing lies between the fields and the dictionary.
  info.dictionaryOffset = anchor_field ? *anchor_field : field;
  return info;
}

std::optional<AnchorEntries> ParseAnchorRecord(ByteView page, size_t anchor_offset,
                                               const std::map<uint16_t, ColumnInfo>& columns,
                                               EngineMessages& messages) {
  const size_t record_offset = kCiPageOffset + anchor_offset;
  const auto record = CdRecord::Open(page, record_offset);
  if (!record || record->Header() > kMaxHeader) return std::nullopt;
  const auto long_region = CheckedLongRegion(*record, messages);

  AnchorEntries entries;
  const size_t stored = std::min<size_t>(columns.size(), record->ColumnCount());
  for (size_t j = 0; j < stored; ++j) {
    const auto location = record->Locate(static_cast<uint32_t>(j), long_region);
    if (!location) return std::nullopt;
    const size_t end = record_offset + location->dataOffset +
                       static_cast<size_t>(location->lengthField & kLengthCountMask);
    if (end > page_layout::kPageSize) return std::nullopt;
    entries[j] = AnchorEntry{record_offset + location->dataOffset, location->lengthField};
  }
  return entries;
}

DictionaryEntries ParseDictionary(ByteView page, size_t dictionary_offset) {
  DictionaryEntries entries;
  const size_t base = kCiPageOffset + dictionary_offset;
  const auto count = page.U16(base + kDictionaryCount);
  if (!count) return entries;
  size_t start = kDictionaryEndOffsets + 2 * size_t{*count};
  for (size_t i = 0; i < *count; ++i) {
    const auto end = page.U16(base + kDictionaryEndOffsets + 2 * i);
    if (!end || *end < start || base + *end > page_layout::kPageSize) break;
    entries[i] = DictionaryEntry{base + start, *end - start};
    start = *end;
  }
  return entries;
}

}  // namespace tollamer
