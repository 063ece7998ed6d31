// Windows implementation of the file services: CreateFileW with sharing
// that refuses writers, plus a lock beyond the end of the file that a second
// exclusive opener cannot take (as flock(2) on POSIX); ReadFile at an offset
// for positioned reads; outputs written under a temporary name and moved
// into place with MoveFileExW. Bytes about to be read are prefetched through
// a read-only view of the file (PrefetchVirtualMemory, Windows 8 and later),
// which fills the same cache that ReadFile reads from.
#include <io.h>

#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <mutex>
#include <set>

#include "platform/file.h"
#include "platform/pending_outputs.h"
#include "platform/windows_paths.h"

#include <winioctl.h>

namespace tollamer::platform {
namespace {

// The byte range the exclusive open locks: far past the end of any file, so
// that the lock never stands in the way of a read.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0;

// Reads of a disk or volume go through this many bytes at most at a time.
constexpr size_t kDeviceChunkBytes = 1 << 20;

struct OpenInputs {
  std::mutex mutex;
  std::multiset<std::pair<uint64_t, uint64_t>> files;
};
OpenInputs& Inputs() {
  static OpenInputs inputs;
  return inputs;
}

// ReadFile at `offset` of exactly what it returns; short at the end or on error.
size_t ReadHandleAt(HANDLE handle, uint64_t offset, uint8_t* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    const uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(handle, out + done, ask, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

// PrefetchVirtualMemory, looked up at run time: Windows 7 has none, and the
// headers declare it only for Windows 8 and later.
struct MemoryRange {
  void* address;
  SIZE_T bytes;
};
using PrefetchFunction = BOOL(WINAPI*)(HANDLE, ULONG_PTR, MemoryRange*, ULONG);
PrefetchFunction Prefetcher() {
  static const PrefetchFunction function = [] {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<PrefetchFunction>(
                        reinterpret_cast<void*>(::GetProcAddress(kernel, "PrefetchVirtualMemory")))
                  : nullptr;
  }();
  return function;
}

class WindowsReadOnlyFile final : public ReadOnlyFile {
 public:
  WindowsReadOnlyFile(HANDLE handle, uint64_t length, uint32_t sector_bytes)
      : handle_(handle), length_(length), sector_bytes_(sector_bytes) {
    id_ = IdentityOfHandle(handle);
    if (!id_) return;
    std::lock_guard lock(Inputs().mutex);
    Inputs().files.insert({id_->device, id_->inode});
  }
  ~WindowsReadOnlyFile() override {
    if (mapping_) ::CloseHandle(mapping_);
    ::CloseHandle(handle_);  // also drops the lock
    if (!id_) return;
    std::lock_guard lock(Inputs().mutex);
    auto it = Inputs().files.find({id_->device, id_->inode});
    if (it != Inputs().files.end()) Inputs().files.erase(it);
  }

  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const override {
    if (offset >= length_) return 0;
    const size_t size = static_cast<size_t>(std::min<uint64_t>(out.size(), length_ - offset));
    if (sector_bytes_ == 0) return ReadHandleAt(handle_, offset, out.data(), size);
    return ReadSectors(offset, out.data(), size);
  }
  uint64_t Length() const override { return length_; }

  // ReadingInOrder is not taken: FILE_FLAG_SEQUENTIAL_SCAN is chosen only
  // when a file is opened, and the cache manager follows forward reads by
  // itself; WillRead says where they go next.
  // The range mapped into a view and prefetched, the view dropped at once:
  // the pages stay in the system's cache. Files only; a disk or volume is
  // read without the cache.
  void WillRead(uint64_t offset, uint64_t length) const override {
    const PrefetchFunction prefetch = Prefetcher();
    if (!prefetch || sector_bytes_ != 0 || offset >= length_ || length == 0) return;
    std::call_once(mapping_made_, [&] {
      mapping_ = ::CreateFileMappingW(handle_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    });
    if (!mapping_) return;
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const uint64_t start = offset / system.dwAllocationGranularity * system.dwAllocationGranularity;
    const uint64_t end = std::min(length_, offset + length);
    const SIZE_T bytes = static_cast<SIZE_T>(end - start);
    void* view = ::MapViewOfFile(mapping_, FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                                 static_cast<DWORD>(start), bytes);
    if (!view) return;
    MemoryRange range{view, bytes};
    prefetch(::GetCurrentProcess(), 1, &range, 0);
    ::UnmapViewOfFile(view);
  }

 private:
  // A disk or volume takes only whole sectors at sector-aligned offsets into
  // aligned memory: each chunk is read whole and the asked bytes copied out.
  size_t ReadSectors(uint64_t offset, uint8_t* out, size_t size) const {
    const uint64_t sector = sector_bytes_;
    uint8_t* buffer = static_cast<uint8_t*>(_aligned_malloc(kDeviceChunkBytes, 4096));
    if (buffer == nullptr) return 0;
    size_t done = 0;
    while (done < size) {
      const uint64_t want = offset + done;
      const uint64_t start = want / sector * sector;
      const size_t skip = static_cast<size_t>(want - start);
      const size_t span = std::min<size_t>(kDeviceChunkBytes, ((skip + size - done + sector - 1) /
                                                               sector) * sector);
      const size_t got = ReadHandleAt(handle_, start, buffer, span);
      if (got <= skip) break;
      const size_t take = std::min(got - skip, size - done);
      std::copy(buffer + skip, buffer + skip + take, out + done);
      done += take;
      if (got < span) break;
    }
    _aligned_free(buffer);
    return done;
  }

  HANDLE handle_;
  uint64_t length_;
  uint32_t sector_bytes_;
  std::optional<FileIdentity> id_;
  mutable std::once_flag mapping_made_;
  mutable HANDLE mapping_ = nullptr;  // for WillRead; null when it cannot be made
};

class WindowsOutputFile final : public OutputFile {
 public:
  WindowsOutputFile(HANDLE handle, std::wstring temp, std::wstring final_path, int pending)
      : handle_(handle), temp_(std::move(temp)), final_(std::move(final_path)), pending_(pending) {}
  ~WindowsOutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    if (!committed_) ::DeleteFileW(temp_.c_str());
    ReleasePendingOutput(pending_);
  }

  bool Write(std::span<const uint8_t> bytes) override {
    if (!WriteAt(position_, bytes)) return false;
    position_ += bytes.size();
    return true;
  }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    if (handle_ == INVALID_HANDLE_VALUE) return Fail("file already closed");
    size_t done = 0;
    while (done < bytes.size()) {
      OVERLAPPED at{};
      const uint64_t position = offset + done;
      at.Offset = static_cast<DWORD>(position);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(handle_, bytes.data() + done, ask, &put, &at))
        return Fail(ErrorText(::GetLastError()));
      if (put == 0) return Fail(ErrorText(ERROR_DISK_FULL));
      done += put;
    }
    return true;
  }

  bool Commit() override {
    if (handle_ == INVALID_HANDLE_VALUE) return Fail("file already closed");
    bool ok = error_.empty();
    if (ok && !::FlushFileBuffers(handle_)) ok = Fail(ErrorText(::GetLastError()));
    if (!::CloseHandle(handle_) && ok) ok = Fail(ErrorText(::GetLastError()));
    handle_ = INVALID_HANDLE_VALUE;
    if (ok && !::MoveFileExW(temp_.c_str(), final_.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ok = Fail(ErrorText(::GetLastError()));
    committed_ = ok;
    return ok;
  }

  const std::string& Error() const override { return error_; }

 private:
  bool Fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
    return false;
  }

  HANDLE handle_;
  std::wstring temp_;
  std::wstring final_;
  int pending_;
  uint64_t position_ = 0;
  bool committed_ = false;
  std::string error_;
};

// Standard output, written straight through in order.
class StandardOutputFile final : public OutputFile {
 public:
  bool Write(std::span<const uint8_t> bytes) override { return WriteAt(position_, bytes); }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    if (offset != position_) return Fail("standard output is written in order only");
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    size_t done = 0;
    while (done < bytes.size()) {
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(out, bytes.data() + done, ask, &put, nullptr))
        return Fail(ErrorText(::GetLastError()));
      if (put == 0) return Fail(ErrorText(ERROR_WRITE_FAULT));
      done += put;
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

// The length of an open disk or volume; nothing when it does not say.
std::optional<uint64_t> DeviceLength(HANDLE handle) {
  GET_LENGTH_INFORMATION info{};
  DWORD returned = 0;
  if (!::DeviceIoControl(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info,
                         &returned, nullptr))
    return std::nullopt;
  return static_cast<uint64_t>(info.Length.QuadPart);
}

uint32_t DeviceSectorBytes(HANDLE handle) {
  DISK_GEOMETRY geometry{};
  DWORD returned = 0;
  if (::DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                        sizeof geometry, &returned, nullptr) &&
      geometry.BytesPerSector >= 512 && (geometry.BytesPerSector & (geometry.BytesPerSector - 1)) == 0)
    return geometry.BytesPerSector;
  return 512;
}

}  // namespace

std::unique_ptr<ReadOnlyFile> ReadOnlyFileFromHandle(HANDLE handle, uint64_t length,
                                                     uint32_t sector_bytes) {
  return std::make_unique<WindowsReadOnlyFile>(handle, length, sector_bytes);
}

OpenResult OpenForReading(const std::string& path, DWORD share, bool lock) {
  OpenResult result;
  const std::wstring wide = WidePath(path);
  const bool device = IsDevicePath(path);
  if (!device) {
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = ::GetLastError();
      result.error = OpenErrorKind(error);
      result.message = ErrorText(error);
      return result;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      result.error = OpenError::kNotRegularFile;
      result.message = "not a regular file or block device";
      return result;
    }
  }
  HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    result.error = OpenErrorKind(error);
    result.message = device && error == ERROR_ACCESS_DENIED ? "administrator rights needed"
                                                            : ErrorText(error);
    return result;
  }
  if (lock) {
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      const DWORD error = ::GetLastError();
      result.error = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING
                         ? OpenError::kInUse
                         : OpenError::kOther;
      result.message = ErrorText(error);
      ::CloseHandle(handle);
      return result;
    }
  }
  uint64_t length = 0;
  uint32_t sector_bytes = 0;
  if (device) {
    std::optional<uint64_t> device_length = DeviceLength(handle);
    if (!device_length) {
      const DWORD error = ::GetLastError();
      result.error = OpenError::kOther;
      result.message = ErrorText(error);
      ::CloseHandle(handle);
      return result;
    }
    length = *device_length;
    sector_bytes = DeviceSectorBytes(handle);
  } else {
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) {
      result.error = OpenError::kNotRegularFile;
      result.message = "not a regular file or block device";
      ::CloseHandle(handle);
      return result;
    }
    length = static_cast<uint64_t>(size.QuadPart);
  }
  result.file = ReadOnlyFileFromHandle(handle, length, sector_bytes);
  return result;
}

OpenResult OpenReadOnlyExclusive(const std::string& path) {
  // Readers may share the file, writers may not: an open fails while a
  // writer holds it, and no writer gets in while it is open. A second
  // exclusive opener, in this process or another, finds the lock taken.
  return OpenForReading(path, FILE_SHARE_READ, true);
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
  static std::atomic<uint64_t> counter{0};
  const std::wstring final_path = WidePath(path);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string temp = path + ".part-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1));
    const std::wstring wide_temp = WidePath(temp);
    const int pending = RegisterPendingOutput(temp);
    HANDLE handle = ::CreateFileW(wide_temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      result.file = std::make_unique<WindowsOutputFile>(handle, wide_temp, final_path, pending);
      return result;
    }
    const DWORD error = ::GetLastError();
    ReleasePendingOutput(pending);
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      result.message = ErrorText(error);
      return result;
    }
  }
  result.message = ErrorText(ERROR_FILE_EXISTS);
  return result;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // Attribute access only: it passes whatever sharing other openers chose,
  // and a folder opens too.
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileIdentity> id = IdentityOfHandle(handle);
  ::CloseHandle(handle);
  return id;
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  return IdentityOfHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
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
