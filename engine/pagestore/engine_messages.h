// How the engine speaks to the user. It has few things to say: a status
// that stops or cuts short an operation, and one question before long
// work. It names them; each program turns them into its own texts (the
// desktop program's message boxes, the CLI's stderr lines), tests record
// them. The programs also pass their own stopping texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tollamer {

enum class EngineNotice : uint8_t {
  kBackupFormatUnknown,       // a backup whose page data lies at no known offset
  kSystemIndexDamaged,        // the system tables are found by scanning the whole file
  kPageOwnerConflict,         // tables share a page m_objId: no all-tables data scan
  kCompressedPageUnreadable,  // a page-compressed page's information header: page skipped
  kLongRegionMissing,         // a compressed record's long data region cannot be located
  // What stops a tool (backup conversion, page detection, fragment search
  // and extraction) before it writes anything.
  kFileOpenFailed,            // the input cannot be opened
  kBackupOpenFailed,          // the backup cannot be opened
  kOutputIsInput,             // the output names the input file
  kDataFileCreateFailed,      // the output data file cannot be created
  kDataFileWriteFailed,       // writing the output data file failed: nothing kept
  kNoPagesInBackup,           // no SQL Server page in the backup
  kClusterSizeZero,           // a search unit of 0 sectors
  kVolumeBitmapUnreadable,    // the NTFS cluster bitmap cannot be read
  kFatUnreadable,             // the FAT cannot be read
  kFolderMissing,             // the chosen output folder does not exist
};

enum class EngineQuestion : uint8_t {
  // A table's allocation chain is damaged: scan the whole file for its pages?
  kScanFileForTable,
};

class EngineMessages {
 public:
  virtual ~EngineMessages() = default;
  // A status of the engine (shown like a stopping message).
  virtual void Notify(EngineNotice notice) = 0;
  // A question; true for OK, false for Cancel.
  virtual bool Ask(EngineQuestion question) = 0;
  // A stopping text of a program (a message box with an OK button).
  virtual void ShowStop(std::string_view text) = 0;
};

// Shows nothing and answers every question with a fixed reply.
class SilentMessages final : public EngineMessages {
 public:
  explicit SilentMessages(bool answer = true) : answer_(answer) {}
  void Notify(EngineNotice) override {}
  bool Ask(EngineQuestion) override { return answer_; }
  void ShowStop(std::string_view) override {}

 private:
  bool answer_;
};

// Keeps everything that was said, in order; answers questions with a fixed
// reply. For tests, and for callers that report messages later.
class RecordingMessages final : public EngineMessages {
 public:
  explicit RecordingMessages(bool answer = true) : answer_(answer) {}
  void Notify(EngineNotice notice) override { notices.push_back(notice); }
  bool Ask(EngineQuestion question) override {
    questions.push_back(question);
    return answer_;
  }
  void ShowStop(std::string_view text) override { stops.emplace_back(text); }
  // Says the recorded notices and stops again, in order, through `to`:
  // what a worker thread's walk said, raised on the thread that owns `to`.
  void Replay(EngineMessages& to) const {
    for (EngineNotice notice : notices) to.Notify(notice);
    for (const std::string& text : stops) to.ShowStop(text);
  }
  // Nothing was said or asked.
  bool Quiet() const { return notices.empty() && questions.empty() && stops.empty(); }

  std::vector<EngineNotice> notices;
  std::vector<EngineQuestion> questions;
  std::vector<std::string> stops;

 private:
  bool answer_;
};

}  // namespace tollamer
