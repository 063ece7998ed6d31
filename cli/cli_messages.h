// The CLI's face for engine messages: stopping messages go to stderr,
// questions are answered by the --yes / --no choice made on the command line.
#pragma once

#include <cstdio>
#include <string>

#include "engine/pagestore/engine_messages.h"

namespace tollamer::cli {

class CliMessages final : public EngineMessages {
 public:
  explicit CliMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
  bool AskOkCancel(std::string_view text) override {
    std::fprintf(stderr, "%.*s [%s]\n", static_cast<int>(text.size()), text.data(),
                 answer_ ? "OK" : "Cancel");
    return answer_;
  }

 private:
  bool answer_;
};

}  // namespace tollamer::cli
