// The CLI's face for engine messages: stopping messages go to stderr,
// questions are answered by the --yes / --no choice made on the command line.
// The engine and the tools name their notices and questions; the CLI writes
// the English text of each.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_report.h"
#include "engine/pagestore/engine_messages.h"

namespace tollamer::cli {

std::string_view NoticeText(EngineNotice notice);
std::string_view QuestionText(EngineQuestion question);

class CliMessages final : public EngineMessages {
 public:
  explicit CliMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view text) override { Say(text); }
  void Notify(EngineNotice notice) override { Say(NoticeText(notice)); }
  bool Ask(EngineQuestion question) override {
    std::string_view english = QuestionText(question);
    Note("%.*s [%s]\n", static_cast<int>(english.size()),
                 english.data(), answer_ ? "OK" : "Cancel");
    return answer_;
  }

 private:
  static void Say(std::string_view english) {
    Error("%.*s\n", static_cast<int>(english.size()), english.data());
  }
  bool answer_;
};

}  // namespace tollamer::cli
