// Lets a worker report progress at most about thirty times a second, however
// fast it walks its pages.
#pragma once

#include <chrono>

namespace tollamer::tools {

class ProgressThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  explicit ProgressThrottle(Clock::duration interval = std::chrono::milliseconds(33))
      : interval_(interval) {}

  // True when a report is due now (the first call is always due).
  bool Due() {
    if (++calls_ & 0xFF && started_) return false;  // look at the clock every 256 calls
    Clock::time_point now = Clock::now();
    if (started_ && now - last_ < interval_) return false;
    started_ = true;
    last_ = now;
    return true;
  }

 private:
  Clock::duration interval_;
  Clock::time_point last_{};
  unsigned calls_ = 0;
  bool started_ = false;
};

}  // namespace tollamer::tools
