// The column types a recovered table gets in an import database, by the
// SQL Server type id: one table for SQLite and PostgreSQL.
//
//   SQL SERVER TYPE                SQLITE      POSTGRESQL
//   tinyint, smallint              INTEGER     smallint
//   int                            INTEGER     integer
//   bigint                         INTEGER     bigint
//   bit                            INTEGER     boolean
//   decimal, numeric (p,s)         NUMERIC     numeric(p,s)
//   money / smallmoney             NUMERIC     numeric(19,4) / numeric(10,4)
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
#pragma once

#include <cstdint>
#include <span>
#include <string>

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

}  // namespace tollamer
