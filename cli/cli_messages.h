// The CLI's face for engine messages: stopping messages go to stderr,
// questions are answered by the --yes / --no choice made on the command line.
// The engine names its notices and questions; the tools' texts are the
// desktop program's (Chinese). The CLI writes the English text of each.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/pagestore/engine_messages.h"

namespace tollamer::cli {

// The English text of a tool's stopping message; a text without one comes
// back as it is.
std::string_view EnglishText(std::string_view engine_text);
std::string_view NoticeText(EngineNotice notice);
std::string_view QuestionText(EngineQuestion question);

class CliMessages final : public EngineMessages {
 public:
  explicit CliMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view text) override { Say(EnglishText(text)); }
  void Notify(EngineNotice notice) override { Say(NoticeText(notice)); }
  bool Ask(EngineQuestion question) override {
    std::string_view english = QuestionText(question);
    std::fprintf(stderr, "tollamer-cli: %.*s [%s]\n", static_cast<int>(english.size()),
                 english.data(), answer_ ? "OK" : "Cancel");
    return answer_;
  }

 private:
  static void Say(std::string_view english) {
    std::fprintf(stderr, "tollamer-cli: %.*s\n", static_cast<int>(english.size()), english.data());
  }
  bool answer_;
};

}  // namespace tollamer::cli
