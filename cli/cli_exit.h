// The exit codes of tollamer-cli and the checks every command shares before
// it writes: an output must never be the input it reads.
//
//   0  complete
//   1  could not read: the file is missing, a folder, unreadable, in use by
//      another program, not a data or backup file; or an output could not
//      be written
//   2  bad usage, an output that is the input file, or an output that
//      exists (without --force: output_guard.h)
//   3  done with losses: tables whose rows fall short of the catalog's row
//      counts, tables skipped (no columns or no data pages known), or a
//      backup that lacks allocated pages of its database
//   4  no table (or object) of the given name
#pragma once

#include <string>
#include <string_view>

#include "output/open_database.h"
#include "platform/file.h"

namespace tollamer::cli {

inline constexpr int kExitComplete = 0;
inline constexpr int kExitCannotRead = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitLosses = 3;
inline constexpr int kExitNoSuchTable = 4;

// The lines of `--help` that explain the exit codes.
inline constexpr char kExitCodesHelp[] =
    "Exit codes: 0 complete; 1 could not read the input (missing, a folder, no permission, in use,\n"
    "not a data or backup file) or could not write an output; 2 bad usage, an output that is the\n"
    "input file, or an output that exists (--force replaces it); 3 done with losses (tables short of\n"
    "their catalog row counts, tables skipped, allocated pages a backup lacks, a catalog read from\n"
    "damaged pages); 4 no table or object of that name.";

// True (after a line on stderr) when writing `output` would replace the
// input `input`: the same file, or a hard or symbolic link to it.
bool RefuseOutputOverInput(const std::string& input, const std::string& output);
// The same for every input file.
bool RefuseOutputOverInput(const DatabaseFiles& inputs, const std::string& output);
// True, after an error line, when the file standard output is
// written to is one of the input files.
bool RefuseStdoutOverInput(const DatabaseFiles& inputs);

// Why a file could not be opened, in words.
std::string_view OpenFailureText(platform::OpenError error);

}  // namespace tollamer::cli
