// POSIX implementation of the file services: open(2) + flock(2) for the
// exclusive read-only open, pread(2) for positioned reads, and a temporary
// file renamed into place for outputs.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <linux/fs.h>

#include <cerrno>
#include <cstring>

#include "platform/file.h"

namespace tollamer::platform {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

class PosixReadOnlyFile final : public ReadOnlyFile {
 public:
  PosixReadOnlyFile(int fd, uint64_t length) : fd_(fd), length_(length) {}
  ~PosixReadOnlyFile() override { ::close(fd_); }  // also drops the flock

  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const override {
    size_t done = 0;
    while (done < out.size()) {
      ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                          static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }
  uint64_t Length() const override { return length_; }

 private:
  int fd_;
  uint64_t length_;
};

class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(int fd, std::string temp, std::string final_path)
      : fd_(fd), temp_(std::move(temp)), final_(std::move(final_path)) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temp_.c_str());
  }

  bool Write(std::span<const uint8_t> bytes) override {
    if (!WriteAt(position_, bytes)) return false;
    position_ += bytes.size();
    return true;
  }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    if (fd_ < 0) return Fail("file already closed");
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                           static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(ErrnoText(n < 0 ? errno : ENOSPC));
      done += static_cast<size_t>(n);
    }
    return true;
  }

  bool Commit() override {
    if (fd_ < 0) return Fail("file already closed");
    bool ok = error_.empty();
    if (ok && ::fsync(fd_) != 0) ok = Fail(ErrnoText(errno));
    if (::close(fd_) != 0 && ok) ok = Fail(ErrnoText(errno));
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), final_.c_str()) != 0)
      ok = Fail(ErrnoText(errno));
    committed_ = ok;
    return ok;
  }

  const std::string& Error() const override { return error_; }

 private:
  bool Fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
    return false;
  }

  int fd_;
  std::string temp_;
  std::string final_;
  uint64_t position_ = 0;
  bool committed_ = false;
  std::string error_;
};

OpenError ErrorKind(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return OpenError::kNotFound;
    case EACCES:
    case EPERM:
      return OpenError::kAccessDenied;
    default:
      return OpenError::kOther;
  }
}

}  // namespace

OpenResult OpenReadOnlyExclusive(const std::string& path) {
  OpenResult result;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = ErrorKind(errno);
    result.message = ErrnoText(errno);
    return result;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    result.error = OpenError::kOther;
    result.message = ErrnoText(errno);
    ::close(fd);
    return result;
  }
  uint64_t length = 0;
  if (S_ISREG(st.st_mode)) {
    length = static_cast<uint64_t>(st.st_size);
  } else if (S_ISBLK(st.st_mode)) {
    if (::ioctl(fd, BLKGETSIZE64, &length) != 0) length = 0;
  } else {
    result.error = OpenError::kNotRegularFile;
    result.message = "not a regular file or block device";
    ::close(fd);
    return result;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    result.error = errno == EWOULDBLOCK ? OpenError::kInUse : OpenError::kOther;
    result.message = ErrnoText(errno);
    ::close(fd);
    return result;
  }
  result.file = std::make_unique<PosixReadOnlyFile>(fd, length);
  return result;
}

CreateResult CreateOutputFile(const std::string& path) {
  CreateResult result;
  std::string temp = path + ".part-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    result.message = ErrnoText(errno);
    return result;
  }
  ::fchmod(fd, 0644);
  result.file = std::make_unique<PosixOutputFile>(fd, temp, path);
  return result;
}

}  // namespace tollamer::platform
