// A progress line on stderr for a long job. It is drawn only when stderr is
// a terminal and -q was not given, not before the job has run one second,
// at most ten times a second, and it is erased when the job ends or before
// any other line goes to stderr.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tollamer::cli {

class ProgressReporter {
 public:
  explicit ProgressReporter(std::string label);
  ~ProgressReporter();
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  // A new label from now on (the table being written); the one-second
  // delay still counts from the start of the job.
  void SetLabel(std::string label);
  // "label [#####      ]  42%" for `done` of `total` units.
  void Fraction(uint64_t done, uint64_t total);
  void Percent(int percent) { Fraction(percent < 0 ? 0 : static_cast<uint64_t>(percent), 100); }
  // "label 123456 rows" when the total is not known.
  void Count(uint64_t done, const char* unit);
  // Erases the line; nothing more is drawn.
  void Done();

 private:
  void Draw(const std::string& text, bool forced);

  std::string label_;
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_{};
};

// Erases the progress line if one is shown (before another stderr line).
void ClearProgressLine();

}  // namespace tollamer::cli
