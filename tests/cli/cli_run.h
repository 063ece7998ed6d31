// Runs the tollamer-cli binary of this build as a user would.
#pragma once

#include <string>

#include "tests/test_support.h"

namespace tollamer::testing {

inline CommandResult RunCli(const std::string& args, bool with_stderr = false) {
  return RunCommand(std::string(TOLLAMER_CLI_PATH) + " " + args, with_stderr);
}

}  // namespace tollamer::testing
