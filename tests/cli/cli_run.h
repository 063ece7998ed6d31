// Runs the tollamer-cli binary of this build as a user would.
#pragma once

#include <string>

#include "tests/test_support.h"

namespace tollamer::testing {

using CliResult = CommandResult;

inline CliResult Cli(const std::string& args, bool with_stderr = false) {
  return RunCommand(std::string(TOLLAMER_CLI_PATH) + " " + args, with_stderr);
}

}  // namespace tollamer::testing
