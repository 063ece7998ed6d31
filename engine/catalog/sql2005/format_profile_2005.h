// The format profile of SQL Server 2005 and every later release.
#pragma once

#include "engine/catalog/format_profile.h"

namespace tollamer::sql2005 {

const FormatProfile& FormatProfile2005();

}  // namespace tollamer::sql2005
