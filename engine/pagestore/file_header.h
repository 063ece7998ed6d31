// The file header page: page 0 of every database file (m_type 15), one
// record whose variable-length columns hold the file's properties. The
// size of the file in pages is the fifth of them (SQL Server 2000 to 2022
// alike, 23 to 60 columns):
//
//   RECORD OFFSET  SIZE  FIELD
//   8              2     N, the number of columns
//   10             B     null bitmap, B = ceil(N / 8)
//   10 + B         2     V, the number of variable-length columns
//   12 + B         2*V   end offsets of the variable-length columns, from
//                        the record's start
//   e4             4     the file size in pages, where e4 is the fourth
//                        column's end; the fifth ends at e4 + 4
//
// The first variable-length column (16 bytes, from 12 + B + 2*V) is the
// binding id: one GUID that every file of a database carries, written when
// the database is created, so that files of another database are told
// apart.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// The file size in pages that a file header page (torn bits repaired)
// records; nothing when the page is no file header or its record does not
// hold the field where the layout puts it.
std::optional<uint32_t> FileSizeInPages(ByteView page);

using BindingId = std::array<uint8_t, 16>;
// The binding id a file header page records; nothing when the page is no
// file header or its first variable-length column is not 16 bytes long.
std::optional<BindingId> FileBindingId(ByteView page);

}  // namespace tollamer
