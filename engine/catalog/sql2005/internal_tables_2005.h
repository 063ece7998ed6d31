// The server's internal tables (service broker queues, change tracking,
// FILESTREAM and FileTable bookkeeping, the query store, the agent's job
// tables) have object ids in the users' range. Their object rows name them
// as internal; when those rows are lost, their columns still tell them.
#pragma once

#include "engine/catalog/catalog_model.h"

namespace tollamer::sql2005 {

// True when the columns' leading names are those of one of the server's
// internal tables.
bool LooksLikeInternalTable2005(const std::map<uint16_t, ColumnInfo>& columns);

}  // namespace tollamer::sql2005
