// Names stored as UTF-16LE (sysname columns) become 8-bit strings (UTF-8
// here) with every blank removed: a column stored as "Unit Price" is held as
// "UnitPrice", in the tree, the scripts and the log alike.
#pragma once

#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

std::string DecodeName(ByteView utf16le);

}  // namespace tollamer
