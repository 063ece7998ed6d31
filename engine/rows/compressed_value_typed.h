// The typed value of one assembled compressed value, by the column's type:
// the fixed types whose compressed form drops bytes are widened back to
// their ordinary stored form and decoded as uncompressed values are;
// variable values are decoded as an in-row cell of that length.
#pragma once

#include <cstddef>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/format_profile.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_store.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// `buffer` holds the assembled value in its first `length` bytes followed by
// zeros; `complex` marks a value whose bytes are an in-row pointer to data
// kept elsewhere, read by `traits`. A zero-length value is the type's zero or empty value.
TypedValue CompressedValueTyped(const ColumnInfo& column, ByteView buffer, size_t length,
                                bool complex, const PageStore& store, const RecordTraits& traits);

}  // namespace tollamer
