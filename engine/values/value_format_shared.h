// The type forms that SQL 2000 and SQL 2005/2008 files share. Internal to
// the values library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// The text of `type_id` for the value bytes starting at `value`, or nothing
// when the type is one whose form differs between the versions (decimal,
// numeric, char, bit and the SQL 2008 date and time types) or is unknown.
std::optional<std::string> FormatSharedType(uint8_t type_id, ByteView value, uint16_t length);

}  // namespace tollamer
