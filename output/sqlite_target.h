// The embedded import database: one SQLite file, a table per source table
// named owner_table, rows inserted in transactions of 10,000.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "output/db_import.h"

namespace tollamer {

inline constexpr size_t kSqliteRowsPerTransaction = 10000;

// Opens or creates the database file at `path`.
std::unique_ptr<ImportTarget> OpenSqliteTarget(const std::string& path, std::string& error);

}  // namespace tollamer
