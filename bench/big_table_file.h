// A large SQL Server 2008 data file for the benchmarks: a small database
// with one user table, then copies of that table's first data page filling
// the file up to the size asked for. The copies carry the table's m_objId,
// so the whole-file scan files them under the table; the file is written
// page by page, never held in memory.
#pragma once

#include <cstdint>
#include <string>

namespace tollamer::bench {

struct BigTableFile {
  std::string path;
  uint32_t tableId = 0;
  uint64_t pages = 0;      // pages in the file
  uint64_t dataPages = 0;  // data pages of the table
  uint64_t rowsPerPage = 0;
};

// Nothing (path empty) when the file could not be written.
BigTableFile WriteBigTableFile(const std::string& path, uint64_t bytes);

}  // namespace tollamer::bench
