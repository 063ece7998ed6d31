#include "cli/cli_exit.h"

#include <cstdio>

#include "cli/cli_report.h"

namespace tollamer::cli {

bool RefuseOutputOverInput(const std::string& input, const std::string& output) {
  if (!platform::OutputIsInput(input, output)) return false;
  Error("refusing to write %s: it is the input file %s\n", output.c_str(), input.c_str());
  return true;
}

bool RefuseOutputOverInput(const DatabaseFiles& inputs, const std::string& output) {
  for (const std::string& input : inputs.paths)
    if (RefuseOutputOverInput(input, output)) return true;
  return false;
}

bool RefuseStdoutOverInput(const DatabaseFiles& inputs, int stdout_descriptor) {
  std::optional<platform::FileIdentity> out = platform::IdentityOfDescriptor(stdout_descriptor);
  if (!out) return false;
  for (const std::string& input : inputs.paths) {
    if (out != platform::IdentityOf(input)) continue;
    Error("refusing to write the rows: stdout is the input file %s\n", input.c_str());
    return true;
  }
  return false;
}

std::string_view OpenFailureText(platform::OpenError error) {
  switch (error) {
    case platform::OpenError::kNotFound: return "no such file";
    case platform::OpenError::kNotRegularFile: return "not a file (a folder or a special file)";
    case platform::OpenError::kAccessDenied: return "permission denied";
    case platform::OpenError::kInUse: return "the file is in use by another program";
    case platform::OpenError::kNone:
    case platform::OpenError::kOther: break;
  }
  return "read error";
}

}  // namespace tollamer::cli
