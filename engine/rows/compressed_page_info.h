// The compression information of a page-compressed data page: the anchor
// record of common prefixes and the dictionary of repeated values. Layout
// in cd_record_layout.h. Offsets handed out are page offsets, so the
// decoder reads every anchor value and symbol from the page itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/engine_messages.h"

namespace tollamer {

// One column's anchor value: where it lies and its length field (byte
// count + 1, 0 for a NULL anchor, which gives no prefix).
struct AnchorEntry {
  size_t pageOffset = 0;
  int32_t lengthField = 0;
};
// By table column position (0 = the first column in catalog order).
using AnchorEntries = std::map<size_t, AnchorEntry>;

// One dictionary symbol: where its bytes lie and how many there are.
struct DictionaryEntry {
  size_t pageOffset = 0;
  size_t length = 0;
};
// By symbol index.
using DictionaryEntries = std::map<size_t, DictionaryEntry>;

// The fields of the compression information record at page offset 96.
struct CompressionInfoHeader {
  uint8_t header = 0;
  bool hasAnchor = false;
  bool hasDictionary = false;
  // Offsets from the start of the compression information record.
  size_t anchorRecordOffset = 0;
  size_t dictionaryOffset = 0;
};

// Nothing when the header byte has bits other than 0x02 and 0x04 (the
// caller reports the page as not a compressed page it can read) or the
// record's fields lie outside the page.
std::optional<CompressionInfoHeader> ReadCompressionInfoHeader(ByteView page);

// The anchor record at `anchor_offset` of the compression information
// record: for every table column that the anchor stores, the page offset
// and length field of its value. Nothing when the anchor's header is not a
// CD record header or a value runs past the page. A long-region header
// other than 0 or 1 shows the long-region notice and parsing goes on.
std::optional<AnchorEntries> ParseAnchorRecord(ByteView page, size_t anchor_offset,
                                               const std::map<uint16_t, ColumnInfo>& columns,
                                               EngineMessages& messages);

// The symbols of the dictionary at `dictionary_offset` of the compression
// information record. Symbols whose bounds are broken (running backwards or
// past the page) end the list.
DictionaryEntries ParseDictionary(ByteView page, size_t dictionary_offset);

}  // namespace tollamer
