// The text of one assembled compressed value, by the column's type. The
// fixed types whose compressed form drops bytes (integers, money, dates,
// real, float) are widened back to their ordinary stored form and shown
// exactly as uncompressed values are.
#pragma once

#include <cstddef>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

// `buffer` holds the assembled value in its first `length` bytes followed by
// zeros (the whole 8192-byte assembly buffer); `complex` marks a value whose
// bytes are an in-row pointer to data kept elsewhere.
std::string CompressedValueText(const ColumnInfo& column, ByteView buffer, size_t length,
                                bool complex, const PageStore& store);

}  // namespace tollamer
