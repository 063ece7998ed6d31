// Expanding one located column of a compressed record: the CD code's own
// meaning (NULL, empty, bit 1, page symbol), the anchor prefix of a
// page-compressed page, then the type applied to the assembled bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/format_profile.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_store.h"
#include "engine/rows/compressed_page_info.h"
#include "engine/rows/compressed_record.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// What a value is expanded from: the page, the record's offset in it, the
// page's dictionary, and the store and rules off-row values are read by.
struct CompressedPageContext {
  ByteView page;
  size_t recordOffset = 0;
  const DictionaryEntries& dictionary;
  const PageStore& store;
  const RecordTraits& traits;
};

// The value of the column whose CD code is `code` and whose bytes are at
// `location`: the complete stored value (NULL for the NULL code and for
// bytes that cannot be read). `anchor` is the column's anchor entry, or
// null when the page has none for it.
TypedValue ExpandCompressedTyped(const CompressedPageContext& context, uint8_t code,
                                 const CdLocation& location, const ColumnInfo& column,
                                 const AnchorEntry* anchor);

}  // namespace tollamer
