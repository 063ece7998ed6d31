// Finding a table of the catalog by what a user calls it.
#pragma once

#include <string>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

// The table named `name`: its full name (owner.name), its name without the
// owner, or its object id, in that order of preference. Null when none.
const TableInfo* FindTableByName(const Catalog& catalog, const std::string& name);

}  // namespace tollamer
