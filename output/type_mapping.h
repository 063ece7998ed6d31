// The column types a recovered table gets in an import database, by the
// SQL Server type id: one table for SQLite and PostgreSQL.
//
//   SQL SERVER TYPE                SQLITE      POSTGRESQL
//   tinyint, smallint              INTEGER     smallint
//   int                            INTEGER     integer
//   bigint                         INTEGER     bigint
//   bit                            INTEGER     boolean
//   decimal, numeric (p,s)         NUMERIC     numeric(p,s)
//   money / smallmoney             TEXT        numeric(19,4) / numeric(10,4)
//   real, float                    REAL        double precision
//   datetime, smalldatetime,       TIMESTAMP   timestamp
//   datetime2
//   datetimeoffset                 TIMESTAMP   timestamptz
//   date / time                    DATE / TIME date / time
//   char, varchar, text, nchar,    TEXT        text
//   nvarchar, ntext, xml
//   binary, varbinary, image,      BLOB        bytea
//   timestamp, CLR types
//   uniqueidentifier               TEXT        uuid
//   sql_variant and unknown ids    TEXT        text
//
// SQLite keeps money exact as decimal text with its four places
// ("19.9900"): a NUMERIC or REAL column would turn it into a binary double.
//
// Both imports declare a column NOT NULL when the file's column row does,
// and the table's PRIMARY KEY when the file has one whose columns are all
// known; each is added only when the recovered rows keep it (a damaged file
// may give a NULL or a duplicate key), so that no row is lost for it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

struct TypeMapping {
  uint8_t xtype;
  const char* sqlite;
  const char* postgres;  // "numeric" takes the column's precision and scale
};

// Every known type id; ids not listed map as sql_variant does.
std::span<const TypeMapping> TypeMappings();
const TypeMapping& MappingOf(uint8_t xtype);

std::string SqliteColumnType(const ColumnInfo& column);
std::string PostgresColumnType(const ColumnInfo& column);

bool IsNotNullColumn(const ColumnInfo& column);
// The primary key's columns in key order; empty when the table has none or
// one of them is not a known column.
std::vector<const ColumnInfo*> PrimaryKeyColumns(const TableInfo& table);

}  // namespace tollamer
