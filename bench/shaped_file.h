// Large SQL Server 2008 data files of three shapes for the export
// benchmarks, written with the test fixtures' database writer so that they
// look like the server's own: the system tables, one allocation unit and
// IAM page per table, and past the small database's pages whole uniform
// extents of each table's data pages named in its IAM bitmap, a PFS page at
// every PFS interval and the first PFS page marking the pages allocated.
//
//   kWide   one table: int key, nvarchar(100) with non-ASCII text,
//           decimal(18,4), datetime2(7), uniqueidentifier, varchar, bit,
//           float, about one value in ten NULL.
//   kLob    one table whose rows keep text and image values (through text
//           pointers and root records) and varchar(max)/varbinary(max)
//           values (through in-row pointers) on text pages, a few KB each.
//   kMany   200 tables, narrow and wide in turn, their extents taken in
//           turns of four so that the tables' pages interleave in the file.
//
// The file is written page by page; only the small database is held in
// memory. Rows are counted as they are written.
#pragma once

#include <cstdint>
#include <string>

namespace tollamer::bench {

enum class FileShape { kWide, kLob, kMany };

struct ShapedFile {
  std::string path;  // empty when the file could not be written
  uint64_t bytes = 0;
  uint64_t rows = 0;     // rows of all tables
  size_t tables = 0;
  std::string table;     // the table's name (one-table shapes)
};

ShapedFile WriteShapedFile(FileShape shape, const std::string& path, uint64_t bytes);

const char* ShapeName(FileShape shape);

}  // namespace tollamer::bench
