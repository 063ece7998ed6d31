// User-defined data types of a SQL 2005/2008 file, from sysscalartypes.
#pragma once

#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/sql2005/lookup_index_2005.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

// Appends one UserTypeInfo per row whose id differs from its xtype and is
// not 256 (sysname), in list order and slot order: its name and its base
// type's name are looked up by id, the base gets the size text when it is a
// length type, and bit 0 of status gives "NOT NULL".
void ReadUserTypes2005(const PageStore& store, const SystemPageList& sysscalartypes,
                       const LookupIndex2005& lookups, std::vector<UserTypeInfo>& out);

}  // namespace tollamer::sql2005
