// The size and null texts that the tree and the scripts show for a column or
// a user-defined type.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace tollamer {

struct TypeShape {
  uint16_t xtype = 0;      // system type id of the stored value
  uint16_t xusertype = 0;  // user type id; equal to xtype for system types
  uint16_t length = 0;     // bytes; 0xFFFF for max
  uint8_t precision = 0;
  uint8_t scale = 0;
};

// "(n)" with n the length (halved for nvarchar/nchar) or "max", or
// "(precision,scale)" for decimal and numeric.
std::string SizeText(const TypeShape& t);

// The ids whose columns keep a size text in SQL 7.0/2000 files.
bool IsLengthType(uint16_t id);

// A column's size text: kept only when its user type id is a length type
// (or one of `extra_ids`), so that a column of a user-defined type gets none.
std::string ColumnSizeText(const TypeShape& t, std::initializer_list<uint16_t> extra_ids = {});

// A user type's base type text: the base name, plus the size text when the
// base type is a length type.
std::string UserTypeBaseText(const std::string& base_name, const TypeShape& t);

// " NOT NULL" / " NULL" for a column, "NOT NULL" / "NULL" for a user type;
// bit 0 of the status byte set means NOT NULL.
std::string ColumnNullText(uint8_t status);
std::string UserTypeNullText(uint8_t status);

}  // namespace tollamer
