
#include <cstdarg>
#include <cstdio>

#include "cli/cli_report.h"
#include "cli/json.h"
#include "cli/progress_reporter.h"

namespace tollamer::cli {

namespace {

struct ReportState {
  Verbosity verbosity = Verbosity::kNormal;
  bool json = false;
  std::string pending;                // an error message not yet ended by a line break
  std::vector<std::string> messages;  // with --json: the errors not yet written
  std::vector<std::string> all;       // every error of the run
};

ReportState& State() {
  static ReportState state;
  return state;
}

std::string Format(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(n));
  return text;
}

void WriteLine(const std::string& text) {
  ClearProgressLine();
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

void SetVerbosity(Verbosity verbosity) { State().verbosity = verbosity; }
Verbosity CurrentVerbosity() { return State().verbosity; }
void SetJsonErrors(bool json) { State().json = json; }

void Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  ReportState& s = State();
  s.pending += text;
  for (size_t end = s.pending.find('\n'); end != std::string::npos; end = s.pending.find('\n')) {
    std::string message = s.pending.substr(0, end);
    s.pending.erase(0, end + 1);
    s.all.push_back(message);
    if (s.json)
      s.messages.push_back(std::move(message));
    else
      WriteLine("tollamer-cli: " + message + "\n");
  }
}

void Note(const char* format, ...) {
  if (State().verbosity == Verbosity::kQuiet) return;
  va_list args;
  va_start(args, format);
  WriteLine(Format(format, args));
  va_end(args);
}

void Detail(const char* format, ...) {
  if (State().verbosity != Verbosity::kVerbose) return;
  va_list args;
  va_start(args, format);
  WriteLine(Format(format, args));
  va_end(args);
}

const std::vector<std::string>& ErrorsOfRun() { return State().all; }

int FinishRun(int exit_code) {
  ReportState& s = State();
  if (!s.pending.empty()) Error("\n");
  if (!s.json || (s.messages.empty() && exit_code == 0)) return exit_code;
  std::string out = "{\"error\":{\"exit_code\":" + std::to_string(exit_code) + ",\"messages\":[";
  for (size_t i = 0; i < s.messages.size(); ++i)
    out += (i ? "," : "") + JsonString(s.messages[i]);
  out += "]}}\n";
  ClearProgressLine();
  std::fwrite(out.data(), 1, out.size(), stderr);
  s.messages.clear();
  return exit_code;
}

}  // namespace tollamer::cli
