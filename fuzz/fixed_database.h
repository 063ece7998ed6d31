// The fixed databases of the page-level fuzz targets: files built once per
// process by the fixture writer, into which each input is written as one
// page, so that a run spends its time in the readers and not in building or
// copying whole databases.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/server_version.h"

namespace tollamer::fuzz {

enum class FixedKind {
  kEveryType2000,  // one table of every type, text pages from page 400
  kEveryType2008,
  kSample2000,     // the sample catalog: many tables, views, procedures
  kSample2008,
};

// The database's bytes (built on first use).
const std::vector<uint8_t>& FixedDatabase(FixedKind kind);

// A scratch copy of a fixed database that inputs are written into one page
// at a time; Restore() puts the page back as the fixed database has it.
class FixedFile {
 public:
  explicit FixedFile(FixedKind kind);
  ~FixedFile();
  FixedFile(const FixedFile&) = delete;
  FixedFile& operator=(const FixedFile&) = delete;

  const std::string& Path() const { return path_; }
  uint64_t PageCount() const { return bytes_.size() / page_layout::kPageSize; }
  // Writes `page` (zero-filled to a whole page) over page `number`.
  void Put(uint64_t number, std::span<const uint8_t> page);
  // Undoes every Put since the last Restore.
  void Restore();

 private:
  const std::vector<uint8_t>& bytes_;
  std::string path_;
  int fd_ = -1;
  std::vector<uint64_t> changed_;
};

}  // namespace tollamer::fuzz
