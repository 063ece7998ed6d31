#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace tollamer::fuzz {
namespace {

struct ScratchFile {
  std::string path;
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir && *dir ? dir : "/tmp") + "/tollamer-fuzz-" +
           std::to_string(static_cast<long>(getpid())) + ".bin";
  }
  ~ScratchFile() { std::remove(path.c_str()); }
};

ScratchFile& Scratch() {
  static ScratchFile file;
  return file;
}

}  // namespace

const std::string& WriteScratchFile(std::span<const uint8_t> input) {
  ScratchFile& file = Scratch();
  std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
  return file.path;
}

size_t MemorySource::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  if (offset >= bytes_.size()) return 0;
  size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
  return n;
}

bool DiscardOutput::Write(std::span<const uint8_t> bytes) {
  position_ += bytes.size();
  end_ = std::max(end_, position_);
  return true;
}

bool DiscardOutput::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  position_ = offset + bytes.size();
  end_ = std::max(end_, position_);
  return true;
}

std::vector<uint8_t> FirstPage(std::span<const uint8_t> input) {
  std::vector<uint8_t> page(kPageBytes, 0);
  std::copy_n(input.begin(), std::min(input.size(), kPageBytes), page.begin());
  return page;
}

std::span<const uint8_t> TailAfterPages(std::span<const uint8_t> input) {
  return input.subspan(input.size() - input.size() % kPageBytes);
}

uint32_t U32At(std::span<const uint8_t> bytes, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i)
    if (offset + i < bytes.size()) v |= uint32_t{bytes[offset + i]} << (8 * i);
  return v;
}

uint16_t U16At(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(U32At(bytes.first(std::min(bytes.size(), offset + 2)), offset));
}

}  // namespace tollamer::fuzz
