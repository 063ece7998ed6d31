// `tollamer-cli detect FILE [--map map.png] [--json]`: the page census of a
// file by kind, optionally with a picture of the file.
#pragma once

#include <cstdio>
#include <string>
#include <unistd.h>

namespace tollamer::cli {

struct DetectOptions {
  std::string path;
  std::string mapPath;
  bool json = false;
};

int RunDetect(const DetectOptions& options);

// A one-line progress bar on stderr, drawn only when stderr is a terminal.
class TerminalProgress {
 public:
  explicit TerminalProgress(const char* label) : label_(label), shown_(::isatty(2) != 0) {}
  ~TerminalProgress() { Done(); }
  void Show(int percent) {
    if (!shown_ || percent == last_) return;
    last_ = percent;
    int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_, filled, "##############################",
                 30 - filled, "", percent);
    std::fflush(stderr);
  }
  void Done() {
    if (shown_ && last_ >= 0) std::fprintf(stderr, "\n");
    last_ = -1;
    shown_ = false;
  }

 private:
  const char* label_;
  bool shown_;
  int last_ = -1;
};

}  // namespace tollamer::cli
