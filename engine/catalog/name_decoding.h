// Names stored as UTF-16LE (sysname columns) become UTF-8 strings, exactly
// as stored: a column stored as "Unit Price" is held as "Unit Price", in the
// tree, the scripts, the log and every output alike. Only file names made
// from them replace what a file name cannot hold (output/safe_file_name.h).
#pragma once

#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

std::string DecodeName(ByteView utf16le);

}  // namespace tollamer
