// The SQL Server 7.0/2000 format profile.
#pragma once

#include "engine/catalog/format_profile.h"

namespace tollamer {

const FormatProfile& FormatProfile2000();

}  // namespace tollamer
