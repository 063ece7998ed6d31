// Expanding one located column of a compressed record into its text: the
// CD code's own meaning (NULL, empty, bit 1, page symbol), the anchor
// prefix of a page-compressed page, then the type's text form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_store.h"
#include "engine/rows/compressed_page_info.h"
#include "engine/rows/compressed_record.h"

namespace tollamer {

// What a value is expanded from: the page, the record's offset in it, the
// page's dictionary and the store that off-row values are read from.
struct CompressedPageContext {
  ByteView page;
  size_t recordOffset = 0;
  const DictionaryEntries& dictionary;
  const PageStore& store;
};

// The text of the column whose CD code is `code` and whose bytes are at
// `location`. `anchor` is the column's anchor entry, or null when the page
// has none for it.
std::string ExpandCompressedValue(const CompressedPageContext& context, uint8_t code,
                                  const CdLocation& location, const ColumnInfo& column,
                                  const AnchorEntry* anchor);

}  // namespace tollamer
