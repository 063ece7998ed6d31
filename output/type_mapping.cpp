#include "output/type_mapping.h"

#include <array>

#include "engine/values/value_format.h"

namespace tollamer {

namespace {

namespace vt = value_type;

constexpr TypeMapping kOther{vt::kSqlVariant, "TEXT", "text"};

constexpr std::array kMappings{
    TypeMapping{vt::kTinyInt, "INTEGER", "smallint"},
    TypeMapping{vt::kSmallInt, "INTEGER", "smallint"},
    TypeMapping{vt::kInt, "INTEGER", "integer"},
    TypeMapping{vt::kBigInt, "INTEGER", "bigint"},
    TypeMapping{vt::kBit, "INTEGER", "boolean"},
    TypeMapping{vt::kDecimal, "NUMERIC", "numeric"},
    TypeMapping{vt::kNumeric, "NUMERIC", "numeric"},
    TypeMapping{vt::kMoney, "TEXT", "numeric(19,4)"},
    TypeMapping{vt::kSmallMoney, "TEXT", "numeric(10,4)"},
    TypeMapping{vt::kReal, "REAL", "double precision"},
    TypeMapping{vt::kFloat, "REAL", "double precision"},
    TypeMapping{vt::kDateTime, "TIMESTAMP", "timestamp"},
    TypeMapping{vt::kSmallDateTime, "TIMESTAMP", "timestamp"},
    TypeMapping{vt::kDateTime2, "TIMESTAMP", "timestamp"},
    TypeMapping{vt::kDateTimeOffset, "TIMESTAMP", "timestamptz"},
    TypeMapping{vt::kDate, "DATE", "date"},
    TypeMapping{vt::kTime, "TIME", "time"},
    TypeMapping{vt::kChar, "TEXT", "text"},
    TypeMapping{vt::kVarChar, "TEXT", "text"},
    TypeMapping{vt::kText, "TEXT", "text"},
    TypeMapping{vt::kNChar, "TEXT", "text"},
    TypeMapping{vt::kNVarChar, "TEXT", "text"},
    TypeMapping{vt::kNText, "TEXT", "text"},
    TypeMapping{vt::kXml, "TEXT", "text"},
    TypeMapping{vt::kBinary, "BLOB", "bytea"},
    TypeMapping{vt::kVarBinary, "BLOB", "bytea"},
    TypeMapping{vt::kImage, "BLOB", "bytea"},
    TypeMapping{vt::kTimestamp, "BLOB", "bytea"},
    TypeMapping{vt::kClr, "BLOB", "bytea"},
    TypeMapping{vt::kUniqueIdentifier, "TEXT", "uuid"},
    kOther,
};

}  // namespace

std::span<const TypeMapping> TypeMappings() { return kMappings; }

const TypeMapping& MappingOf(uint8_t xtype) {
  for (const TypeMapping& m : kMappings)
    if (m.xtype == xtype) return m;
  return kOther;
}

std::string SqliteColumnType(const ColumnInfo& column) { return MappingOf(column.xtype).sqlite; }

std::string PostgresColumnType(const ColumnInfo& column) {
  std::string type = MappingOf(column.xtype).postgres;
  if (type != "numeric") return type;
  // The server allows precision 1 to 38 and a scale up to the precision.
  const int p = column.xprec >= 1 && column.xprec <= 38 ? column.xprec : 38;
  const int s = column.xscale <= p ? column.xscale : 0;
  return "numeric(" + std::to_string(p) + "," + std::to_string(s) + ")";
}

bool IsNotNullColumn(const ColumnInfo& column) { return column.nullText == " NOT NULL"; }

std::vector<const ColumnInfo*> PrimaryKeyColumns(const TableInfo& table) {
  std::vector<const ColumnInfo*> out;
  const IndexInfo* key = table.constraints.PrimaryKey();
  if (!key || table.columnsInferred) return out;
  for (const IndexKeyColumn& k : key->keys) {
    auto column = table.columns.find(k.colid);
    if (column == table.columns.end()) return {};
    out.push_back(&column->second);
  }
  return out;
}

}  // namespace tollamer
