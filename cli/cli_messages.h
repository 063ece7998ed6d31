// The CLI's face for engine messages: stopping messages go to stderr,
// questions are answered by the --yes / --no choice made on the command line.
// The engine's texts are the desktop program's (Chinese); the CLI writes the
// English text of each instead.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_report.h"
#include "engine/pagestore/engine_messages.h"

namespace tollamer::cli {

// The English text of an engine message; a text without one comes back as
// it is.
std::string_view EnglishText(std::string_view engine_text);

class CliMessages final : public EngineMessages {
 public:
  explicit CliMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view text) override {
    std::string_view english = EnglishText(text);
    Error("%.*s\n", static_cast<int>(english.size()), english.data());
  }
  bool AskOkCancel(std::string_view text) override {
    std::string_view english = EnglishText(text);
    Note("%.*s [%s]\n", static_cast<int>(english.size()), english.data(),
         answer_ ? "OK" : "Cancel");
    return answer_;
  }

 private:
  bool answer_;
};

}  // namespace tollamer::cli
