// NOT NULL and PRIMARY KEY for a table imported into SQLite, which cannot
// add them to a table that exists: once the rows are in, the rows are asked
// which of them hold (a damaged file may give a NULL or a duplicate key),
// and the table is rebuilt with those: a new table with the constraints,
// the rows copied in, the old table dropped and the new one renamed. The
// old table is dropped only after the copy succeeded, so that a failure
// leaves the rows as they were, without the constraints.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

// `name`: the table's name in the SQLite file, unquoted. False when the
// table is left without its constraints.
bool AddSqliteKeys(sqlite3* db, const std::string& name, const TableInfo& table);

// "CREATE TABLE quoted (...)": the mapped column types in ascending column
// id, NOT NULL on the columns `not_null` holds true for (by position; none
// when it is empty), and the primary key when `primary_key` lists it.
std::string SqliteCreateTable(const std::string& quoted, const TableInfo& table,
                              const std::vector<bool>& not_null, const std::string& primary_key);

}  // namespace tollamer
