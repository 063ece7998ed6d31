// Where the CLI's words go. Results go to stdout; errors, notes and
// progress to stderr. -q keeps only errors, -v adds detail. With --json the
// errors of a run are written at its end as one JSON object on stderr
// ({"error": {"exit_code": N, "messages": [...]}}) instead of lines, so
// that stdout holds only the command's JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tollamer::cli {

// "1 table", "12 tables": a count with its noun in plain English.
inline std::string Counted(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

enum class Verbosity { kQuiet, kNormal, kVerbose };

void SetVerbosity(Verbosity verbosity);
Verbosity CurrentVerbosity();
// Errors become one JSON object at the end of the run.
void SetJsonErrors(bool json);

// An error or warning: "tollamer-cli: TEXT" on stderr, shown even with -q.
// A text may be built by several calls; a line break ends one message.
void Error(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Information about the run (the version read, counts): silenced by -q.
void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
// More about the run: shown with -v only.
void Detail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Every error message of the run so far, in order (for --report).
const std::vector<std::string>& ErrorsOfRun();

// The end of a run: with --json, the errors collected as one JSON object on
// stderr when there are any or the exit code is not 0. Returns `exit_code`.
int FinishRun(int exit_code);

}  // namespace tollamer::cli
