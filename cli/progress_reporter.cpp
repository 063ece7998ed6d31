#include "cli/progress_reporter.h"

#include <algorithm>
#include <cstdio>

#include "cli/cli_report.h"
#include "platform/console.h"

namespace tollamer::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

// Columns of the progress line now on the terminal (0: none).
size_t g_shown_columns = 0;

size_t TerminalColumns() {
  const size_t columns = platform::StandardErrorColumns();
  return columns > 1 ? columns - 1 : 79;
}

}  // namespace

void ClearProgressLine() {
  if (g_shown_columns == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(g_shown_columns), "");
  std::fflush(stderr);
  g_shown_columns = 0;
}

ProgressReporter::ProgressReporter(std::string label)
    : label_(std::move(label)),
      enabled_(platform::StandardErrorIsTerminal() && CurrentVerbosity() != Verbosity::kQuiet),
      start_(Clock::now()) {}

ProgressReporter::~ProgressReporter() { Done(); }

void ProgressReporter::SetLabel(std::string label) { label_ = std::move(label); }

void ProgressReporter::Fraction(uint64_t done, uint64_t total) {
  if (!enabled_) return;
  if (total == 0) total = done = 1;
  if (done > total) done = total;
  const int filled = static_cast<int>(done * kBarWidth / total);
  char bar[64];
  std::snprintf(bar, sizeof bar, " [%s%*s] %3d%%", std::string(filled, '#').c_str(),
                kBarWidth - filled, "", static_cast<int>(done * 100 / total));
  Draw(bar, false);
}

void ProgressReporter::Count(uint64_t done, const char* unit) {
  if (!enabled_) return;
  Draw(" " + std::to_string(done) + " " + unit, false);
}

void ProgressReporter::Draw(const std::string& tail, bool forced) {
  const Clock::time_point now = Clock::now();
  if (!forced && (now - start_ < kQuietStart || now - last_ < kRedrawInterval)) return;
  last_ = now;
  const size_t columns = TerminalColumns();
  std::string line = label_;
  if (line.size() + tail.size() > columns)
    line.resize(columns > tail.size() ? columns - tail.size() : 0);
  line += tail;
  if (line.size() > columns) line.resize(columns);
  const size_t old = g_shown_columns;
  std::fprintf(stderr, "\r%s", line.c_str());
  if (old > line.size()) std::fprintf(stderr, "%*s", static_cast<int>(old - line.size()), "");
  std::fflush(stderr);
  g_shown_columns = std::max(old, line.size());
}

void ProgressReporter::Done() {
  if (enabled_) ClearProgressLine();
  enabled_ = false;
}

}  // namespace tollamer::cli
