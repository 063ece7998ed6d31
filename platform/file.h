// File access for the engine: read-only exclusive opens with positioned reads,
// and output files that appear under their final name only once complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tollamer::platform {

// Why an open failed, so that a caller can tell "in use" from "missing".
enum class OpenError {
  kNone,
  kNotFound,
  kAccessDenied,
  kInUse,  // another process holds the file locked
  kNotRegularFile,
  kOther,
};

// A file opened for reading only, with exclusive sharing: while it is open no
// other opener that asks for exclusive access gets it, and an open fails when
// another process already holds the file.
class ReadOnlyFile {
 public:
  virtual ~ReadOnlyFile() = default;
  // Reads up to out.size() bytes at byte position `offset`; returns the count
  // actually read (short at end of file or on a read error).
  virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const = 0;
  virtual uint64_t Length() const = 0;
  // Hints that change what the system reads ahead, never what a read
  // returns; a file that cannot take them ignores them.
  // The bytes [offset, offset + length) will be read soon: the system may
  // start reading them now, without the caller waiting.
  virtual void WillRead(uint64_t /*offset*/, uint64_t /*length*/) const {}
  // The reads to come go forward through the file (true) or jump about
  // (false, the default): the system reads further ahead for the first.
  virtual void ReadingInOrder(bool /*in_order*/) const {}
};

struct OpenResult {
  std::unique_ptr<ReadOnlyFile> file;  // null on failure
  OpenError error = OpenError::kNone;
  std::string message;  // system error text on failure
};

OpenResult OpenReadOnlyExclusive(const std::string& path);

// A file being written: the bytes go to a temporary name beside `path`, and
// Commit() renames it into place. Destroying an uncommitted file removes the
// temporary, so a failed write never leaves a partial file under `path`.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
  // The pieces written one after the other at the end, in one call to the
  // system where it takes several at once.
  virtual bool WritePieces(std::span<const std::span<const uint8_t>> pieces) {
    for (std::span<const uint8_t> piece : pieces)
      if (!Write(piece)) return false;
    return true;
  }
  // Starts writing what Write() has put so far to the disk, without waiting
  // for it, so that Commit() finds little left to flush. Only a hint: a
  // failure shows at Commit(). Written files start it on their own now and
  // then; a caller about to commit many files starts each file's rest first.
  virtual void StartWriteBack() {}
  // Flushes the file to the disk (a failure is reported here), closes it
  // and renames it into place.
  virtual bool Commit() = 0;
  virtual const std::string& Error() const = 0;
};

struct CreateResult {
  std::unique_ptr<OutputFile> file;
  std::string message;
};

// The output name that stands for standard output: written straight
// through, in order, with no temporary.
inline constexpr char kStandardOutputName[] = "-";

// Creates the temporary beside `path` (kStandardOutputName: standard
// output). Refused (no file, message set) when
// `path` reaches a file that this process holds open as an input.
CreateResult CreateOutputFile(const std::string& path);

// A file as the system knows it: device and inode number. Every path that
// reaches the file (hard links, symbolic links, "..", another mount of the
// same device) gives the same identity.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` reaches (symbolic links followed);
// nothing when it does not exist.
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The identity of what an open descriptor refers to (stdout: 1).
std::optional<FileIdentity> IdentityOfDescriptor(int fd);

// True when writing `output_path` would replace or write into the input
// `input_path`: both reach the same file. Every command that writes asks
// this before it starts; a missing output or input is never the input.
bool OutputIsInput(const std::string& input_path, const std::string& output_path);

// True when `path` reaches a file this process has open through
// OpenReadOnlyExclusive or OpenSharedReadOnly.
bool IsOpenInput(const std::string& path);

// The message of a refused output, for the CLI.
inline constexpr char kOutputIsInputText[] = "the output is the input file";

}  // namespace tollamer::platform
