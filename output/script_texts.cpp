#include "output/script_texts.h"

namespace tollamer {

SplitTableName SplitFullName(std::string_view full_name) {
  size_t point = full_name.find('.');
  if (point == std::string_view::npos) return {"", std::string(full_name)};
  return {std::string(full_name.substr(0, point)), std::string(full_name.substr(point + 1))};
}

std::string BuildTableScript(const TableInfo& table) {
  SplitTableName name = SplitFullName(table.fullName);
  // A table needs at least one column: with none known, the script says so
  // instead of a statement that would not run.
  if (table.columns.empty())
    return "-- [" + name.owner + "].[" + name.table +
           "]: its columns are lost (no column rows found in the system tables)\r\n";
  std::string out;
  if (table.columnsInferred)
    out = "-- [" + name.owner + "].[" + name.table +
          "]: its columns are lost; the columns below are placeholders read off its records\r\n";
  out += "CREATE TABLE [" + name.owner + "].[" + name.table + "]\r\n(\r\n";
  size_t remaining = table.columns.size();
  for (const auto& [colid, column] : table.columns) {
    out += "[" + column.name + "] " + column.typeName + column.sizeText;
    const std::optional<IdentityInfo>& identity = table.constraints.identity;
    if (identity && identity->colid == colid)
      out += " IDENTITY(" + identity->seed + "," + identity->increment + ")";
    out += " " + column.nullText;
    if (--remaining != 0) out += ",";
    out += "\r\n";
  }
  out += ")\r\n";
  return out;
}

std::string BuildTypeStatement(const UserTypeInfo& type) {
  // A type without a base type (a table type, whose columns sp_addtype
  // cannot declare) is named in a comment instead of a statement that
  // would fail.
  if (type.baseTypeText.empty())
    return "-- N'" + type.name + "': no base type known (a table type), not scripted";
  return "EXEC sp_addtype N'" + type.name + "', N'" + type.baseTypeText + "',N'" + type.nullText +
         "'";
}

}  // namespace tollamer
