// A compressed (CD) record of a SQL 2008 row- or page-compressed table,
// decoded into one typed value per table column, the same row the ordinary
// record reader builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/format_profile.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/page_store.h"
#include "engine/rows/compressed_page_info.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// The record at `record_offset` of the 8192-byte `page` as typed values,
// the complete stored values. `columns` are the table's columns in catalog
// order; `anchor` and `dictionary` come from the page's compression
// information (empty for a row-compressed page). Nothing when the record
// is not a CD record (header above 63), when its arrays cannot be read
// inside the page, or when a value would run past byte 8192. A long data
// region that cannot be located shows the long-region notice once and
// decoding goes on. Columns the record does not store are NULL. Off-row
// values are read by `traits`, those of the file's format.
std::optional<std::vector<TypedValue>> DecodeCompressedTyped(
    ByteView page, size_t record_offset, const std::map<uint16_t, ColumnInfo>& columns,
    const AnchorEntries& anchor, const DictionaryEntries& dictionary, const PageStore& store,
    const RecordTraits& traits, EngineMessages& messages);

}  // namespace tollamer
