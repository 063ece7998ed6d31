#include "output/schema_export_constraints.h"

#include <optional>
#include <vector>

#include "output/script_texts.h"
#include "output/sql_insert.h"

namespace tollamer {

namespace {

constexpr std::string_view kStatementEnd = "\r\nGO\r\n\r\n";

std::string TableRef(const TableInfo& table) {
  SplitTableName name = SplitFullName(table.fullName);
  return BracketName(name.owner) + "." + BracketName(name.table);
}

std::string Skipped(const std::string& what, const std::string& why) {
  return "-- " + CommentText(what) + " left out: " + CommentText(why) + "\r\n\r\n";
}

// "[a], [b] DESC", or nothing when a column id is not the table's.
std::optional<std::string> ColumnList(const TableInfo& table, const std::vector<uint16_t>& ids,
                                      const std::vector<bool>& descending = {}) {
  std::string out;
  for (size_t k = 0; k < ids.size(); ++k) {
    auto column = table.columns.find(ids[k]);
    if (column == table.columns.end()) return std::nullopt;
    if (k) out += ", ";
    out += BracketName(column->second.name);
    if (k < descending.size() && descending[k]) out += " DESC";
  }
  return out;
}

std::string IndexStatement(const TableInfo& table, const IndexInfo& index) {
  std::vector<uint16_t> ids;
  std::vector<bool> descending;
  for (const IndexKeyColumn& key : index.keys) {
    ids.push_back(key.colid);
    descending.push_back(key.descending);
  }
  std::optional<std::string> keys = ColumnList(table, ids, descending);
  std::optional<std::string> included = ColumnList(table, index.included);
  if (!keys || keys->empty() || !included)
    return Skipped(BracketName(index.name) + " of " + TableRef(table),
                   "a key column is not among the table's columns");
  std::string kind = index.clustered ? "CLUSTERED" : "NONCLUSTERED";
  std::string out;
  switch (index.kind) {
    case IndexInfo::Kind::kPrimaryKey:
    case IndexInfo::Kind::kUniqueConstraint:
      out = "ALTER TABLE " + TableRef(table) + " ADD CONSTRAINT " + BracketName(index.name) +
            (index.kind == IndexInfo::Kind::kPrimaryKey ? " PRIMARY KEY " : " UNIQUE ") + kind +
            " (" + *keys + ")";
      break;
    case IndexInfo::Kind::kIndex:
      out = std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + kind + " INDEX " +
            BracketName(index.name) + " ON " + TableRef(table) + " (" + *keys + ")";
      if (!index.included.empty()) out += " INCLUDE (" + *included + ")";
      if (!index.filter.empty()) out += " WHERE " + index.filter;
      break;
  }
  return out + std::string(kStatementEnd);
}

std::string ActionClause(std::string_view on, ReferentialAction action) {
  switch (action) {
    case ReferentialAction::kNoAction: return {};
    case ReferentialAction::kCascade: return std::string(on) + "CASCADE";
    case ReferentialAction::kSetNull: return std::string(on) + "SET NULL";
    case ReferentialAction::kSetDefault: return std::string(on) + "SET DEFAULT";
  }
  return {};
}

// Keys first (the primary key, then unique constraints), then the other
// indexes, clustered before nonclustered.
int IndexRank(const IndexInfo& index) {
  switch (index.kind) {
    case IndexInfo::Kind::kPrimaryKey: return 0;
    case IndexInfo::Kind::kUniqueConstraint: return 1;
    case IndexInfo::Kind::kIndex: return index.clustered ? 2 : 3;
  }
  return 3;
}

}  // namespace

// Keys of a table whose column rows were lost name columns that the
// placeholders read off its records do not stand for.
bool ColumnsKnown(const TableInfo& table) {
  return !table.columnsInferred && !table.columns.empty();
}

std::string BuildKeyStatements(const TableInfo& table) {
  const TableConstraints& c = table.constraints;
  if (!ColumnsKnown(table)) {
    if (c.indexes.empty() && c.defaults.empty() && c.checks.empty()) return {};
    return Skipped("keys, indexes and constraints of " + TableRef(table),
                   "its columns are not known");
  }
  std::string out;
  for (int rank = 0; rank <= 3; ++rank)
    for (const IndexInfo& index : c.indexes)
      if (IndexRank(index) == rank) out += IndexStatement(table, index);
  for (const ColumnDefaultInfo& d : c.defaults) {
    auto column = table.columns.find(d.colid);
    if (column == table.columns.end()) {
      out += Skipped(BracketName(d.name) + " of " + TableRef(table),
                     "its column is not among the table's columns");
      continue;
    }
    out += "ALTER TABLE " + TableRef(table) + " ADD CONSTRAINT " + BracketName(d.name) +
           " DEFAULT " + d.text + " FOR " + BracketName(column->second.name) +
           std::string(kStatementEnd);
  }
  for (const CheckInfo& check : c.checks)
    out += "ALTER TABLE " + TableRef(table) + " ADD CONSTRAINT " + BracketName(check.name) +
           " CHECK " + check.text + std::string(kStatementEnd);
  return out;
}

std::string BuildForeignKeyStatements(const Catalog& catalog, const TableInfo& table) {
  std::string out;
  if (!ColumnsKnown(table) && !table.constraints.foreignKeys.empty())
    return Skipped("foreign keys of " + TableRef(table), "its columns are not known");
  for (const ForeignKeyInfo& fk : table.constraints.foreignKeys) {
    std::string what = BracketName(fk.name) + " of " + TableRef(table);
    auto referenced = catalog.tables.find(fk.referencedTableId);
    if (referenced == catalog.tables.end() || !ColumnsKnown(referenced->second)) {
      out += Skipped(what, "the columns of the referenced table (object " +
                               std::to_string(fk.referencedTableId) + ") are not known");
      continue;
    }
    std::optional<std::string> columns = ColumnList(table, fk.columns);
    std::optional<std::string> targets = ColumnList(referenced->second, fk.referencedColumns);
    if (!columns || !targets || fk.columns.size() != fk.referencedColumns.size()) {
      out += Skipped(what, "a key column is not among its table's columns");
      continue;
    }
    out += "ALTER TABLE " + TableRef(table) + " ADD CONSTRAINT " + BracketName(fk.name) +
           " FOREIGN KEY (" + *columns + ") REFERENCES " + TableRef(referenced->second) + " (" +
           *targets + ")" + ActionClause(" ON DELETE ", fk.onDelete) +
           ActionClause(" ON UPDATE ", fk.onUpdate) + std::string(kStatementEnd);
  }
  return out;
}

}  // namespace tollamer
