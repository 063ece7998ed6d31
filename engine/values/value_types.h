// The system type ids of columns: the xtype byte of a column's system row,
// which the catalog, the value decoders and the formatters all go by.
#pragma once

#include <cstdint>

namespace tollamer {

namespace value_type {
inline constexpr uint8_t kImage = 34;
inline constexpr uint8_t kText = 35;
inline constexpr uint8_t kUniqueIdentifier = 36;
inline constexpr uint8_t kDate = 40;
inline constexpr uint8_t kTime = 41;
inline constexpr uint8_t kDateTime2 = 42;
inline constexpr uint8_t kDateTimeOffset = 43;
inline constexpr uint8_t kTinyInt = 48;
inline constexpr uint8_t kSmallInt = 52;
inline constexpr uint8_t kInt = 56;
inline constexpr uint8_t kSmallDateTime = 58;
inline constexpr uint8_t kReal = 59;
inline constexpr uint8_t kMoney = 60;
inline constexpr uint8_t kDateTime = 61;
inline constexpr uint8_t kFloat = 62;
inline constexpr uint8_t kSqlVariant = 98;
inline constexpr uint8_t kNText = 99;
inline constexpr uint8_t kBit = 104;
inline constexpr uint8_t kDecimal = 106;
inline constexpr uint8_t kNumeric = 108;
inline constexpr uint8_t kSmallMoney = 122;
inline constexpr uint8_t kBigInt = 127;
inline constexpr uint8_t kVarBinary = 165;
inline constexpr uint8_t kVarChar = 167;
inline constexpr uint8_t kBinary = 173;
inline constexpr uint8_t kChar = 175;
inline constexpr uint8_t kTimestamp = 189;
inline constexpr uint8_t kNVarChar = 231;
inline constexpr uint8_t kNChar = 239;
inline constexpr uint8_t kClr = 240;
inline constexpr uint8_t kXml = 241;

// sysname: a user type id (xusertype) over nvarchar(128), not a stored type.
inline constexpr uint16_t kSysname = 256;
}  // namespace value_type

}  // namespace tollamer
