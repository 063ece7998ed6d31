// An output file written through a buffer of about 1 MiB: the rows of a
// table go out in large writes, and the file appears under its name only
// when Commit() succeeds.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "platform/file.h"

namespace tollamer {

inline constexpr size_t kDefaultFlushBytes = 1 << 20;

class BufferedOutput {
 public:
  // Nothing opened (and `error` set) when the temporary file cannot be made.
  // The buffer is written out once it holds `flush_bytes` (less for many
  // files open at once).
  static std::unique_ptr<BufferedOutput> Create(const std::string& path, std::string& error,
                                                size_t flush_bytes = kDefaultFlushBytes);

  std::string& Buffer() { return buffer_; }
  void Append(std::string_view text) { buffer_ += text; }
  // Appends `text`, or when it would not fit in the buffer, writes the
  // buffer and `text` out: the buffer never grows past its size. False
  // after a failed write.
  bool Put(std::string_view text);
  // Put() of the pieces one after the other: when they do not fit, the
  // buffer and the pieces go out in one write, none of them copied.
  bool PutPieces(std::span<const std::string_view> pieces);
  // Writes the buffer out when it is full; false after a failed write.
  bool MaybeFlush();
  // Writes the buffer out and starts the file's write-back (platform
  // OutputFile::StartWriteBack): for many files about to be committed one
  // after the other. A failed write shows at Commit().
  void StartWriteBack();
  bool Commit();
  const std::string& Error() const { return error_; }
  uint64_t BytesWritten() const { return written_; }

 private:
  BufferedOutput(std::unique_ptr<platform::OutputFile> file, size_t flush_bytes)
      : file_(std::move(file)), flushBytes_(flush_bytes) {}
  bool Flush();
  bool WriteOut(std::string_view text);

  std::unique_ptr<platform::OutputFile> file_;
  size_t flushBytes_;
  std::string buffer_;
  std::string error_;
  uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace tollamer
