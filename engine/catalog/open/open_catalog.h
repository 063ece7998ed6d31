// The choice of the format profile: the one place that maps a version
// setting to the reader of its format.
#pragma once

#include "engine/catalog/format_profile.h"

namespace tollamer {

// The profile of a version setting; null for kNone (no catalog is built).
const FormatProfile* ProfileFor(VersionSetting setting);

// Fills db's catalog through the profile of `version`; nothing is built
// for kNone. The file must be open.
CatalogOpenResult OpenCatalog(CMdfDatabase& db, VersionSetting version);

}  // namespace tollamer
