// Import into PostgreSQL through libpq: a schema per owner, a table per
// source table with mapped types, rows sent with COPY in binary format
// (postgres_binary.h), a row with a value that has no exact binary form in
// a COPY of text format at its place. Text values lose their NUL
// characters, which PostgreSQL text cannot hold. Each table loads through
// a session of its own (postgres_session.h; at most one per core unless
// told, at least two) while the next table is decoded and sent to another,
// its NOT NULL columns and primary key built there after its rows; the
// target waits for them as it closes.
#pragma once

#include <memory>
#include <string>

#include "output/db_import.h"

namespace tollamer {

// What OpenPostgresTarget says in a build without libpq (the Windows program).
inline constexpr char kPostgresNotBuiltText[] = "PostgreSQL import is not part of this build";

// `conninfo` is a libpq connection string or URI; `sessions` the most
// connections loading tables at once (0: one per core, at least two).
std::unique_ptr<ImportTarget> OpenPostgresTarget(const std::string& conninfo, std::string& error,
                                                 unsigned sessions = 0);

// One value in COPY text format (no tab or line end): \N for NULL,
// backslash escapes, \\x hex for bytea, t/f for booleans.
void AppendCopyValue(std::string& out, const ColumnInfo& column, const TypedValue& value);

}  // namespace tollamer
