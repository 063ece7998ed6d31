// The work log: the running report of what the program does with a file.
// It starts with the header line, grows by appends, can be cleared back to
// the header line and saved as a report file. Appends come from the open
// worker and from the user-interface thread; a mutex keeps them whole and in
// order. The desktop program shows the text through the observer.
#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "output/output_encoding.h"
#include "platform/version.h"

namespace tollamer {

// The log's first line; clearing returns the log to exactly this text.
inline constexpr std::string_view kWorkLogHeader =
    "Tollamer v" TOLLAMER_VERSION "  ..... Repairs Corrupted MS SQL Database File..... Log Report";

// What changed in the log, for the observer.
struct WorkLogChange {
  enum class Kind { kAppended, kReplaced };
  Kind kind = Kind::kAppended;
  std::string text;  // kAppended: the appended text; kReplaced: the whole new text
};

class WorkLog {
 public:
  // Called after every change while the log's lock is held, so calls arrive
  // in the order of the changes. An observer must not call back into the log.
  using Observer = std::function<void(const WorkLogChange&)>;

  WorkLog();

  // Appends `text` exactly as given.
  void Append(std::string_view text);
  // Appends `text` followed by "\r\n\r\n": one entry, then an empty line.
  void AppendEntry(std::string_view text);
  // Back to the header line alone.
  void Clear();
  std::string Text() const;
  void SetObserver(Observer observer);

  // Writes the whole text to `path` (replacing a file of that name). On
  // failure nothing is left at `path`, the log is unchanged and the reason
  // is returned; nothing on success.
  std::optional<std::string> SaveReport(const std::string& path,
                                        OutputEncoding encoding = OutputEncoding::kUtf8) const;

 private:
  void Notify(WorkLogChange::Kind kind, std::string text);

  mutable std::mutex mutex_;
  std::string text_;
  Observer observer_;
};

// "%A, %B %d, %Y %H:%M:%S" with English day and month names, for example
// "Thursday, March 05, 2009 08:04:09"; empty when the time cannot be formatted.
std::string FormatLogTime(const std::optional<std::tm>& local_time);

// The local time now; nothing when it cannot be converted.
std::optional<std::tm> LocalTimeNow();

// "2009年3月5日8时4分9秒.log": year, month, day, hour, minute, second
// without leading zeros.
std::string DefaultReportName(const std::tm& local_time);

}  // namespace tollamer
