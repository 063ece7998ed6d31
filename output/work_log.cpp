#include "output/work_log.h"

#include <cstdio>
#include <locale>
#include <sstream>
#include <iomanip>

#include "output/text_file_writer.h"
#include "platform/console.h"

namespace tollamer {

namespace {
constexpr std::string_view kEntryEnd = "\r\n\r\n";
constexpr size_t kTimeBufferSize = 128;
}  // namespace

WorkLog::WorkLog() : text_(kWorkLogHeader) {}

void WorkLog::Append(std::string_view text) {
  std::lock_guard lock(mutex_);
  text_.append(text);
  Notify(WorkLogChange::Kind::kAppended, std::string(text));
}

void WorkLog::AppendEntry(std::string_view text) {
  std::string entry(text);
  entry.append(kEntryEnd);
  Append(entry);
}

void WorkLog::Clear() {
  std::lock_guard lock(mutex_);
  text_ = std::string(kWorkLogHeader);
  Notify(WorkLogChange::Kind::kReplaced, text_);
}

std::string WorkLog::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void WorkLog::SetObserver(Observer observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void WorkLog::Notify(WorkLogChange::Kind kind, std::string text) {
  if (observer_) observer_(WorkLogChange{kind, std::move(text)});
}

std::optional<std::string> WorkLog::SaveReport(const std::string& path,
                                               OutputEncoding encoding) const {
  std::string error = WriteWholeTextFile(path, Text(), encoding);
  if (error.empty()) return std::nullopt;
  return error;
}

std::string FormatLogTime(const std::optional<std::tm>& local_time) {
  if (!local_time) return {};
  // Formatted in the classic locale, so that day and month names are English
  // whatever the user's locale.
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::put_time(&*local_time, "%A, %B %d, %Y %H:%M:%S");
  if (!out) return {};
  std::string text = out.str();
  if (text.size() >= kTimeBufferSize) return {};
  return text;
}

std::optional<std::tm> LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  if (now == static_cast<std::time_t>(-1)) return std::nullopt;
  return platform::LocalTimeOf(now);
}

std::string DefaultReportName(const std::tm& t) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%d年%d月%d日%d时%d分%d秒.log", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

}  // namespace tollamer
