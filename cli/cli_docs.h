// The manual page and the bash completion of tollamer-cli, written from the
// same command and option definitions that --help prints, so that the three
// never disagree. The build runs `tollamer-cli write-docs man|bash OUT` (a
// subcommand left out of --help) to make them.
#pragma once

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>

namespace tollamer::cli {

// The name of the subcommand that writes the documents; it is hidden.
inline constexpr char kWriteDocsCommand[] = "write-docs";

struct WriteDocsOptions {
  std::string kind;     // "man" or "bash"
  std::string outPath;  // empty: standard output
};

// Adds the hidden subcommand to `app`.
CLI::App* AddWriteDocsCommand(CLI::App& app, WriteDocsOptions& options);

// A roff manual page, section 1, for every visible subcommand of `app`.
void WriteManPage(const CLI::App& app, std::ostream& out);

// A bash completion script: subcommand names, each subcommand's options,
// the allowed values of options restricted to a set, file names elsewhere.
void WriteBashCompletion(const CLI::App& app, std::ostream& out);

// Writes the document `kind` names to `out_path` (under a temporary name,
// renamed when complete) or to stdout; returns the exit code.
int RunWriteDocs(const CLI::App& app, const std::string& kind, const std::string& out_path);

}  // namespace tollamer::cli
