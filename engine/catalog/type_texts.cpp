#include "engine/catalog/type_texts.h"

#include <algorithm>

#include "engine/catalog/catalog_model.h"
#include "engine/values/value_types.h"

namespace tollamer {

using namespace value_type;

bool IsLengthType(uint16_t id) {
  switch (id) {
    case kDecimal: case kNumeric: case kVarBinary: case kVarChar:
    case kBinary: case kChar: case kNVarChar: case kNChar:
      return true;
    default:
      return false;
  }
}

std::string SizeText(const TypeShape& t) {
  if (t.xtype == kDecimal || t.xtype == kNumeric)
    return "(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
  if (t.length == kMaxLength) return "(max)";
  unsigned n = t.length;
  if (t.xtype == kNVarChar || t.xtype == kNChar) n /= 2;
  return "(" + std::to_string(n) + ")";
}

std::string ColumnSizeText(const TypeShape& t, std::initializer_list<uint16_t> extra_ids) {
  bool keep = IsLengthType(t.xusertype) ||
              std::find(extra_ids.begin(), extra_ids.end(), t.xusertype) != extra_ids.end();
  return keep ? SizeText(t) : std::string();
}

std::string UserTypeBaseText(const std::string& base_name, const TypeShape& t) {
  return IsLengthType(t.xtype) ? base_name + SizeText(t) : base_name;
}

std::string ColumnNullText(uint8_t status) { return (status & 1) ? " NOT NULL" : " NULL"; }
std::string UserTypeNullText(uint8_t status) { return (status & 1) ? "NOT NULL" : "NULL"; }

}  // namespace tollamer
