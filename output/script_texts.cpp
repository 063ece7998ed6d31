#include "output/script_texts.h"

#include <cstdio>

#include "engine/catalog/collation_name.h"
#include "output/sql_insert.h"

namespace tollamer {

namespace {

bool PlainIdentifier(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

// Where a column's collation differs from the database's: " COLLATE name",
// or a trailing comment when the collation has no name known here.
struct CollationTexts {
  std::string clause;
  std::string comment;
};
CollationTexts CollationOf(const ColumnInfo& column, const ColumnCollations* collations) {
  if (!collations || column.collationId == 0 || !HasCollation(column.xtype) ||
      column.collationId == collations->databaseCollation)
    return {};
  if (std::optional<std::string> name = CollationName(column.collationId))
    return {" COLLATE " + *name, {}};
  char id[16];
  std::snprintf(id, sizeof id, "0x%08X", column.collationId);
  return {{}, std::string(" -- collation id ") + id + " differs from the database's; its name is not known here"};
}

}  // namespace

std::string CommentText(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

std::string ColumnTypeText(const ColumnInfo& column) {
  if (column.typeName.empty() || PlainIdentifier(column.typeName)) return column.typeName + column.sizeText;
  return BracketName(column.typeName) + column.sizeText;
}

SplitTableName SplitFullName(std::string_view full_name) {
  size_t point = full_name.find('.');
  if (point == std::string_view::npos) return {"", std::string(full_name)};
  return {std::string(full_name.substr(0, point)), std::string(full_name.substr(point + 1))};
}

std::string BuildTableScript(const TableInfo& table, const ColumnCollations* collations) {
  SplitTableName name = SplitFullName(table.fullName);
  const std::string bracketed = BracketName(name.owner) + "." + BracketName(name.table);
  // A table needs at least one column: with none known, the script says so
  // instead of a statement that would not run.
  if (table.columns.empty())
    return "-- " + CommentText(bracketed) +
           ": its columns are lost (no column rows found in the system tables)\r\n";
  std::string out;
  if (table.columnsInferred)
    out = "-- " + CommentText(bracketed) +
          ": its columns are lost; the columns below are placeholders read off its records\r\n";
  out += "CREATE TABLE " + bracketed + "\r\n(\r\n";
  size_t remaining = table.columns.size();
  for (const auto& [colid, column] : table.columns) {
    const CollationTexts collation = CollationOf(column, collations);
    out += BracketName(column.name) + " " + ColumnTypeText(column) + collation.clause;
    const std::optional<IdentityInfo>& identity = table.constraints.identity;
    if (identity && identity->colid == colid)
      out += " IDENTITY(" + identity->seed + "," + identity->increment + ")";
    out += " " + column.nullText;
    if (--remaining != 0) out += ",";
    out += collation.comment + "\r\n";
  }
  out += ")\r\n";
  return out;
}

std::string BuildTypeStatement(const UserTypeInfo& type) {
  // A type without a base type (a table type, whose columns sp_addtype
  // cannot declare) is named in a comment instead of a statement that
  // would fail.
  if (type.baseTypeText.empty())
    return "-- " + CommentText(BracketName(type.name)) +
           ": no base type known (a table type), not scripted";
  return "EXEC sp_addtype " + NameLiteral(type.name) + ", " + NameLiteral(type.baseTypeText) +
         "," + NameLiteral(type.nullText);
}

}  // namespace tollamer
