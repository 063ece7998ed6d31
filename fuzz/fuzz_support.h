// What the fuzz targets share: a scratch file that holds the current input
// for readers that open a path, an in-memory source for readers that take
// one, an output that keeps nothing, and small helpers to split an input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/pagestore/page_layout.h"
#include "platform/file.h"

namespace tollamer::fuzz {

inline constexpr size_t kPageBytes = page_layout::kPageSize;

// Writes `input` to this process's scratch file (replacing what it held)
// and returns the file's path. The file is removed when the process exits.
const std::string& WriteScratchFile(std::span<const uint8_t> input);

// The input as a source of bytes.
class MemorySource final : public platform::ReadOnlyFile {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const override;
  uint64_t Length() const override { return bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
};

// Accepts every write and keeps only the highest byte position written, so
// that writes at far offsets cost no memory.
class DiscardOutput final : public platform::OutputFile {
 public:
  bool Write(std::span<const uint8_t> bytes) override;
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
  bool Commit() override { return true; }
  const std::string& Error() const override { return error_; }
  uint64_t End() const { return end_; }

 private:
  uint64_t position_ = 0;
  uint64_t end_ = 0;
  std::string error_;
};

// One 8192-byte page from the front of the input, zero-filled when short.
std::vector<uint8_t> FirstPage(std::span<const uint8_t> input);

// The bytes after the input's whole pages (the parameters of targets whose
// input is a file followed by a few bytes of their own).
std::span<const uint8_t> TailAfterPages(std::span<const uint8_t> input);

// Little-endian reads that give 0 past the end.
uint32_t U32At(std::span<const uint8_t> bytes, size_t offset);
uint16_t U16At(std::span<const uint8_t> bytes, size_t offset);

}  // namespace tollamer::fuzz
