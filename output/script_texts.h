// The texts of the schema scripts, made from the catalog alone.
//
// Table script (one table):
//   CREATE TABLE [owner].[table]\r\n
//   (\r\n
//   [column] typename(size)  NULL,\r\n     one line per column; the null text
//   ...                                     brings its own leading blank; the
//   [last] typename NOT NULL\r\n            last line has no comma; an IDENTITY
//                                           column has " IDENTITY(seed,increment)"
//                                           after its type
//   )\r\n
// Type statement (one user type):
//   EXEC sp_addtype N'name', N'base',N'NULL'
// (a comment line for a type with no base type, such as a table type)
//
// Every name is escaped where it stands: ] doubled inside [brackets], '
// doubled inside N'literals', and line breaks and other control characters
// turned into blanks inside -- comments, so that no name, whatever the file
// holds, ends its identifier, literal or comment early.
#pragma once

#include <string>
#include <string_view>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

// What follows each object in the exported files.
namespace script_separator {
inline constexpr std::string_view kSelectedTable = "GO";           // no line break after it
inline constexpr std::string_view kAllTables = "GO\r\n\r\n";
inline constexpr std::string_view kAllModules = "\r\ngo\r\n\r\n";  // views, procedures, functions
inline constexpr std::string_view kAllUserTypes = "\r\n  GO\r\n\r\n";
}  // namespace script_separator

// The owner is the part of the full name before its first point (empty when
// there is no point), the table the part after it (the whole name then).
struct SplitTableName {
  std::string owner;
  std::string table;
};
SplitTableName SplitFullName(std::string_view full_name);

// `text` fit for a -- comment line: control characters (line breaks among
// them) become blanks.
std::string CommentText(std::string_view text);

// A column's type as a script names it: a system type as it is
// (varchar(50)), a user type's name in brackets when it is not a plain
// identifier.
std::string ColumnTypeText(const ColumnInfo& column);

// `collation_name` is called for a column whose collation differs from the
// database default (`database_collation`) to put COLLATE after its type;
// none (the per-kind files) keeps the column lines as they were.
struct ColumnCollations {
  uint32_t databaseCollation = 0;
};
std::string BuildTableScript(const TableInfo& table,
                             const ColumnCollations* collations = nullptr);

std::string BuildTypeStatement(const UserTypeInfo& type);

}  // namespace tollamer
