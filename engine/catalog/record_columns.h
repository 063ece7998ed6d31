// Fields of system rows that the fixed offsets of the builders do not
// reach: the variable-length columns of a FixedVar record (its frame read
// as record_frame.h reads it), and the three IDENTITY values a column row
// keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"

namespace tollamer {

// Variable column `index` (0-based) of the record that `row` starts with.
// Nothing when status bit 0x20 says it has no variable columns, when it
// has fewer or its frame cannot be read, when the value is off-row, or
// when its range is reversed or leaves the view.
std::optional<ByteView> VariableColumn(ByteView row, size_t index);

// IDENTITY values, as syscolumns.autoval (SQL 2000) and syscolpars.idtval
// (2005 and later) store them: three values of one size E one after
// another, the last value given out, the increment and the seed, then one
// flag byte (3E + 1 bytes in all; 1 while no value has been given out).
// The service broker queues' own tables show the order: their
// queuing_order column, IDENTITY(0,1), stores 0, 1, 0. Integer columns store E = the column's
// length, little-endian and signed (tinyint unsigned); decimal and numeric
// columns store E bytes ending in a sign byte (1 = positive) and a
// 16-byte little-endian magnitude.
std::optional<IdentityInfo> DecodeIdentityValues(ByteView bytes, uint8_t xtype, uint16_t colid);

}  // namespace tollamer
