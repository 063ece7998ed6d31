// How the engine speaks to the user. It has few things to say: messages that
// stop an operation, and OK/Cancel questions before long work. The desktop
// program shows them as message boxes, the CLI writes them to stderr (and
// answers questions from its options), tests record them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tollamer {

class EngineMessages {
 public:
  virtual ~EngineMessages() = default;
  // A message that ends an operation (a message box with an OK button).
  virtual void ShowStop(std::string_view text) = 0;
  // A question; true for OK, false for Cancel.
  virtual bool AskOkCancel(std::string_view text) = 0;
};

// Shows nothing and answers every question with a fixed reply.
class SilentMessages final : public EngineMessages {
 public:
  explicit SilentMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view) override {}
  bool AskOkCancel(std::string_view) override { return answer_; }

 private:
  bool answer_;
};

// Keeps everything that was shown, in order; answers questions with a fixed
// reply. For tests, and for callers that report messages later.
class RecordingMessages final : public EngineMessages {
 public:
  explicit RecordingMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view text) override { stops.emplace_back(text); }
  bool AskOkCancel(std::string_view text) override {
    questions.emplace_back(text);
    return answer_;
  }
  // Shows the recorded stops again, in order, through `to`: what a worker
  // thread's walk said, raised on the thread that owns `to`.
  void ReplayStops(EngineMessages& to) const {
    for (const std::string& text : stops) to.ShowStop(text);
  }

  std::vector<std::string> stops;
  std::vector<std::string> questions;

 private:
  bool answer_;
};

}  // namespace tollamer
