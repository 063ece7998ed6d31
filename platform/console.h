// The process around the engine: its command line, its console and its id,
// for the command-line program. POSIX: posix_console.cpp; Windows:
// windows_console.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tollamer::platform {

// The program's arguments as UTF-8, with the standard streams made ready to
// carry UTF-8 bytes as they are. On POSIX argv as given. On Windows the wide
// command line (GetCommandLineW) converted, so that Chinese or Arabic names
// reach the program intact whatever the system's code page; the console
// shows UTF-8, and standard output and error are binary (no "\r\n" for "\n").
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True when standard error shows on a terminal (a console window).
bool StandardErrorIsTerminal();

// Columns of the terminal standard error shows on; 0 when unknown.
size_t StandardErrorColumns();

// This process's id, for the names of temporaries.
uint64_t ProcessId();

// The file standard output writes to; nothing for a terminal, a pipe or a
// closed stream.
std::optional<FileIdentity> StandardOutputIdentity();

// `t` in the system's time zone; nothing when it cannot be told.
std::optional<std::tm> LocalTimeOf(std::time_t t);

}  // namespace tollamer::platform
