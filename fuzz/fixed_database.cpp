#include "fuzz/fixed_database.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/pagestore/page_layout.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/user_rows_database.h"

namespace tollamer::fuzz {
namespace {

constexpr size_t kPage = page_layout::kPageSize;

std::vector<uint8_t> Build(FixedKind kind) {
  namespace s2000 = fixtures::sql2000;
  namespace s2005 = fixtures::sql2005;
  namespace rows = fixtures::user_rows;
  switch (kind) {
    case FixedKind::kEveryType2000: return rows::BuildEveryTypeDatabase2000().file.Image();
    case FixedKind::kEveryType2008:
      return rows::BuildEveryTypeDatabase2005(fixtures::FormatVersion::kSql2008).built.file.Image();
    case FixedKind::kSample2000: return s2000::BuildDatabase2000(s2000::SampleDatabase2000()).Image();
    case FixedKind::kSample2008:
      return s2005::BuildDatabase2005(s2005::SampleDatabase2005()).file.Image();
  }
  return {};
}

bool WriteAllAt(int fd, const uint8_t* data, size_t size, uint64_t offset) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    data += n, size -= static_cast<size_t>(n), offset += static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

const std::vector<uint8_t>& FixedDatabase(FixedKind kind) {
  static std::vector<uint8_t> built[4];
  std::vector<uint8_t>& bytes = built[static_cast<int>(kind)];
  if (bytes.empty()) {
    bytes = Build(kind);
    bytes.resize(bytes.size() / kPage * kPage);
  }
  return bytes;
}

FixedFile::FixedFile(FixedKind kind) : bytes_(FixedDatabase(kind)) {
  const char* dir = std::getenv("TMPDIR");
  path_ = std::string(dir && *dir ? dir : "/tmp") + "/tollamer-fuzz-fixed-" +
          std::to_string(static_cast<long>(::getpid())) + "-" +
          std::to_string(static_cast<int>(kind)) + ".mdf";
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd_ < 0 || !WriteAllAt(fd_, bytes_.data(), bytes_.size(), 0)) std::abort();
}

FixedFile::~FixedFile() {
  if (fd_ >= 0) ::close(fd_);
  ::unlink(path_.c_str());
}

void FixedFile::Put(uint64_t number, std::span<const uint8_t> page) {
  if (number >= PageCount()) return;
  std::vector<uint8_t> whole(kPage, 0);
  std::copy_n(page.begin(), std::min(page.size(), kPage), whole.begin());
  if (!WriteAllAt(fd_, whole.data(), kPage, number * kPage)) std::abort();
  changed_.push_back(number);
}

void FixedFile::Restore() {
  for (uint64_t number : changed_)
    if (!WriteAllAt(fd_, bytes_.data() + number * kPage, kPage, number * kPage)) std::abort();
  changed_.clear();
}

}  // namespace tollamer::fuzz
