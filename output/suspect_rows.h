// The suspect rows of a table (engine/rows/typed_rows.h) are never written
// with its good rows: they go beside them, each with where it lay and why
// it is not trusted, as <table>.suspect.csv or, on import, a <table>_suspect
// table, in the table's columns and _page, _slot, _reason.
#pragma once

#include <string>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/rows/typed_rows.h"
#include "output/db_import.h"

namespace tollamer {

inline constexpr char kSuspectFileSuffix[] = ".suspect";
inline constexpr char kSuspectTableSuffix[] = "_suspect";

// The table's columns and the three location columns, named `full_name`.
TableInfo SuspectRowsTable(const TableInfo& table, const std::string& full_name);
std::vector<TypedValue> SuspectRowValues(const SuspectRow& row);

// "<folder>/<name>.suspect.csv" beside a table's "<folder>/<name>.csv" (or
// ".sql") file.
std::string SuspectFilePath(const std::string& table_path);

// Writes the rows to `path` under a temporary name renamed when complete;
// false with `error` set when it could not be written.
bool WriteSuspectCsv(const TableInfo& table, const std::vector<SuspectRow>& rows,
                     const std::string& path, std::string& error);

// Sends the rows to a <table>_suspect table of `target`.
bool ImportSuspectRows(const TableInfo& table, const std::vector<SuspectRow>& rows,
                       ImportTarget& target, std::string& target_name, std::string& error);

}  // namespace tollamer
