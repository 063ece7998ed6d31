// POSIX implementation of the file services: open(2) + flock(2) for the
// exclusive read-only open, pread(2) for positioned reads, posix_fadvise(2)
// for the read-ahead hints, and a temporary file renamed into place for
// outputs, its write-back started as it is written (sync_file_range(2) on
// Linux) so that the fsync(2) before the rename waits for little.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <linux/fs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/file.h"
#include "platform/pending_outputs.h"
#include "platform/posix_descriptor.h"

namespace tollamer::platform {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

FileIdentity IdentityFromStat(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// The files open as inputs, so that no output of this process replaces one.
struct OpenInputs {
  std::mutex mutex;
  std::multiset<std::pair<uint64_t, uint64_t>> files;
};
OpenInputs& Inputs() {
  static OpenInputs inputs;
  return inputs;
}

class PosixReadOnlyFile final : public ReadOnlyFile {
 public:
  PosixReadOnlyFile(int fd, uint64_t length, FileIdentity id)
      : fd_(fd), length_(length), id_(id) {
    std::lock_guard lock(Inputs().mutex);
    Inputs().files.insert({id_.device, id_.inode});
  }
  ~PosixReadOnlyFile() override {
    ::close(fd_);  // also drops the flock
    std::lock_guard lock(Inputs().mutex);
    auto it = Inputs().files.find({id_.device, id_.inode});
    if (it != Inputs().files.end()) Inputs().files.erase(it);
  }

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

  void WillRead(uint64_t offset, uint64_t length) const override {
    ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                    POSIX_FADV_WILLNEED);
  }
  void ReadingInOrder(bool in_order) const override {
    ::posix_fadvise(fd_, 0, 0, in_order ? POSIX_FADV_SEQUENTIAL : POSIX_FADV_NORMAL);
  }

 private:
  int fd_;
  uint64_t length_;
  FileIdentity id_;
};

// Written bytes whose write-back is started at once (Linux): a file written
// at speed is then flushed as it goes instead of all at its fsync. What lies
// more than kKeptBehind before the end is then waited for and dropped from
// the page cache: a large output holds a few MiB of memory instead of its
// size (the kernel throttles a writer with much of the cache dirty) and its
// pages are reused while still in the processor's caches. 4 MiB steps and
// 64 MiB behind wrote a 2.4 GB script about 9% faster than 1 and 32 (fewer,
// larger writes queued; fewer waits), and no larger steps did better.
// Outputs written at once share kWriteBackShared between their steps, down
// to kWriteBackLeast each: 200 tables' files written in one walk, each with
// 4 MiB steps, left most of their bytes to their flushes at the end and
// took 1.62 s against 1.32-1.40 s with steps of 1 MiB or 512 KiB.
constexpr uint64_t kWriteBackBytes = uint64_t{4} << 20;
constexpr uint64_t kWriteBackShared = uint64_t{16} << 20;
constexpr uint64_t kWriteBackLeast = uint64_t{1} << 20;
constexpr uint64_t kKeptBehind = uint64_t{64} << 20;

// Outputs open and not yet committed.
std::atomic<uint64_t> open_outputs{0};

uint64_t WriteBackStep() {
  const uint64_t open = std::max<uint64_t>(1, open_outputs.load(std::memory_order_relaxed));
  return std::clamp(kWriteBackShared / open, kWriteBackLeast, kWriteBackBytes);
}

class PosixOutputFile final : public OutputFile {
 public:
  // `pending`: the temporary's slot among the outputs an interruption removes.
  PosixOutputFile(int fd, std::string temp, std::string final_path, int pending)
      : fd_(fd), temp_(std::move(temp)), final_(std::move(final_path)), pending_(pending) {
    open_outputs.fetch_add(1, std::memory_order_relaxed);
  }
  ~PosixOutputFile() override {
    if (fd_ >= 0) Close();
    if (!committed_) ::unlink(temp_.c_str());
    ReleasePendingOutput(pending_);
  }

  bool Write(std::span<const uint8_t> bytes) override {
    if (!WriteAt(position_, bytes)) return false;
    return Wrote(bytes.size());
  }

  void StartWriteBack() override {
#if defined(__linux__)
    if (fd_ >= 0 && position_ > writeBackFrom_)
      ::sync_file_range(fd_, static_cast<off_t>(writeBackFrom_),
                        static_cast<off_t>(position_ - writeBackFrom_), SYNC_FILE_RANGE_WRITE);
#endif
    writeBackFrom_ = position_;
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

  bool WritePieces(std::span<const std::span<const uint8_t>> pieces) override {
    if (fd_ < 0) return Fail("file already closed");
    // At most kPiecesPerCall a call; a short write goes on from the byte
    // where it stopped.
    constexpr size_t kPiecesPerCall = 64;
    iovec vec[kPiecesPerCall];
    size_t next = 0;     // the first piece not yet in a call
    size_t skipped = 0;  // its bytes written already
    while (next < pieces.size()) {
      size_t count = 0;
      for (size_t i = next; i < pieces.size() && count < kPiecesPerCall; ++i) {
        const size_t skip = i == next ? skipped : 0;
        if (pieces[i].size() == skip) continue;
        vec[count].iov_base = const_cast<uint8_t*>(pieces[i].data() + skip);
        vec[count].iov_len = pieces[i].size() - skip;
        ++count;
      }
      if (count == 0) break;
      ssize_t n = ::pwritev(fd_, vec, static_cast<int>(count), static_cast<off_t>(position_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(ErrnoText(n < 0 ? errno : ENOSPC));
      if (!Wrote(static_cast<size_t>(n))) return false;
      // Past the pieces written whole.
      size_t left = static_cast<size_t>(n) + skipped;
      while (next < pieces.size() && left >= pieces[next].size()) {
        left -= pieces[next].size();
        ++next;
      }
      skipped = left;
    }
    return true;
  }

  bool Commit() override {
    if (fd_ < 0) return Fail("file already closed");
    bool ok = error_.empty();
    if (ok && ::fsync(fd_) != 0) ok = Fail(ErrnoText(errno));
    if (Close() != 0 && ok) ok = Fail(ErrnoText(errno));
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

  // Closes the file, which is then no longer among the outputs written at
  // once; close(2)'s result.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    open_outputs.fetch_sub(1, std::memory_order_relaxed);
    return result;
  }

  // `n` bytes written at the end: their write-back started every
  // WriteBackStep(), and the part kKeptBehind back dropped. False when a
  // write-back failed: the error would not show again at the fsync.
  bool Wrote(size_t n) {
    position_ += n;
    const uint64_t step = WriteBackStep();
    if (position_ - writeBackFrom_ < step) return true;
    StartWriteBack();
#if defined(__linux__)
    if (!dropBehind_ || position_ - droppedTo_ < kKeptBehind + step) return true;
    // Whole pages only: a page the range ends in would stay in the cache.
    const uint64_t to = (position_ - kKeptBehind) & ~uint64_t{4095};
    if (::sync_file_range(fd_, static_cast<off_t>(droppedTo_), static_cast<off_t>(to - droppedTo_),
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER) != 0) {
      // A file system without it gets its whole flush at the fsync.
      if (errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP) {
        dropBehind_ = false;
        return true;
      }
      return Fail(ErrnoText(errno));
    }
    ::posix_fadvise(fd_, static_cast<off_t>(droppedTo_), static_cast<off_t>(to - droppedTo_),
                    POSIX_FADV_DONTNEED);
    droppedTo_ = to;
#endif
    return true;
  }

  int fd_;
  std::string temp_;
  std::string final_;
  int pending_;
  uint64_t position_ = 0;
  uint64_t writeBackFrom_ = 0;  // the bytes before it were given to write-back
  uint64_t droppedTo_ = 0;  // the bytes before it are on the disk and out of the cache
  bool dropBehind_ = true;
  bool committed_ = false;
  std::string error_;
};

// Standard output as an output: written straight through in order, with
// nothing to rename on commit.
class StandardOutputFile final : public OutputFile {
 public:
  bool Write(std::span<const uint8_t> bytes) override { return WriteAt(position_, bytes); }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    if (offset != position_) return Fail("standard output is written in order only");
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(ErrnoText(n < 0 ? errno : EIO));
      done += static_cast<size_t>(n);
    }
    position_ += bytes.size();
    return true;
  }

  bool Commit() override { return error_.empty(); }
  const std::string& Error() const override { return error_; }

 private:
  bool Fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
    return false;
  }

  uint64_t position_ = 0;
  std::string error_;
};

}  // namespace

OpenError OpenErrorKind(int err) {
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

std::unique_ptr<ReadOnlyFile> ReadOnlyFileFromDescriptor(int fd, uint64_t length) {
  struct stat st {};
  FileIdentity id;
  if (::fstat(fd, &st) == 0) id = IdentityFromStat(st);
  return std::make_unique<PosixReadOnlyFile>(fd, length, id);
}

OpenResult OpenReadOnlyExclusive(const std::string& path) {
  OpenResult result;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = OpenErrorKind(errno);
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
  result.file = ReadOnlyFileFromDescriptor(fd, length);
  return result;
}

CreateResult CreateOutputFile(const std::string& path) {
  CreateResult result;
  if (IsOpenInput(path)) {
    result.message = kOutputIsInputText;
    return result;
  }
  if (path == kStandardOutputName) {
    result.file = std::make_unique<StandardOutputFile>();
    return result;
  }
  // The temporary's name is recorded for removal on interruption before the
  // file exists, so that no moment leaves it behind: ".part-PID-N", made
  // anew while the name is taken.
  static std::atomic<uint64_t> counter{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string temp = path + ".part-" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter.fetch_add(1));
    const int pending = RegisterPendingOutput(temp);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::fchmod(fd, 0644);
      result.file = std::make_unique<PosixOutputFile>(fd, temp, path, pending);
      return result;
    }
    const int error = errno;
    ReleasePendingOutput(pending);
    if (error != EEXIST) {
      result.message = ErrnoText(error);
      return result;
    }
  }
  result.message = ErrnoText(EEXIST);
  return result;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityFromStat(st);
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return IdentityFromStat(st);
}

bool OutputIsInput(const std::string& input_path, const std::string& output_path) {
  std::optional<FileIdentity> in = IdentityOf(input_path);
  return in && IdentityOf(output_path) == in;
}

bool IsOpenInput(const std::string& path) {
  std::optional<FileIdentity> id = IdentityOf(path);
  if (!id) return false;
  std::lock_guard lock(Inputs().mutex);
  return Inputs().files.count({id->device, id->inode}) != 0;
}

}  // namespace tollamer::platform
