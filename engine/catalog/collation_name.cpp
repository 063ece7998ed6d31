#include "engine/catalog/collation_name.h"

#include <array>
#include <string_view>

#include "engine/catalog/collation.h"
#include "engine/values/value_types.h"

namespace tollamer {

namespace {

namespace bits {
inline constexpr uint32_t kIgnoreCase = 1u << 12;
inline constexpr uint32_t kIgnoreAccents = 1u << 13;
inline constexpr uint32_t kIgnoreKana = 1u << 14;
inline constexpr uint32_t kIgnoreWidth = 1u << 15;
inline constexpr uint32_t kBinary = 1u << 16;
inline constexpr uint32_t kBinaryCodePoint = 1u << 17;
inline constexpr unsigned kVersionShift = 20;
inline constexpr uint32_t kVersionMask = 0xF;
}  // namespace bits

// Designators by locale index, in the order collation.cpp gives their code
// pages.
constexpr std::array<std::string_view, 15> kDesignators = {
    "",  "Arabic", "Chinese_PRC", "Chinese_Taiwan_Stroke", "Czech", "Danish_Norwegian",
    "German_PhoneBook", "Greek", "Latin1_General", "Traditional_Spanish", "Finnish_Swedish",
    "French", "Hebrew", "Hungarian", "Icelandic"};

constexpr std::array<std::string_view, 4> kVersions = {"", "_90", "_100", "_140"};

std::optional<std::string> SqlCollationName(uint8_t sort_id) {
  switch (sort_id) {
    case 51: return "SQL_Latin1_General_CP1_CS_AS";
    case 52: return "SQL_Latin1_General_CP1_CI_AS";
    case 53: return "SQL_Latin1_General_Pref_CP1_CI_AS";
    case 54: return "SQL_Latin1_General_CP1_CI_AI";
    case 32: return "SQL_Latin1_General_CP437_CS_AS";
    case 34: return "SQL_Latin1_General_CP437_CI_AS";
    case 40: return "SQL_Latin1_General_CP850_BIN";
    case 42: return "SQL_Latin1_General_CP850_CI_AS";
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> CollationName(uint32_t id) {
  using namespace collation_layout;
  if (id == 0) return std::nullopt;
  if (const uint8_t sort_id = static_cast<uint8_t>(id >> kSortIdShift); sort_id != 0)
    return SqlCollationName(sort_id);
  const uint32_t index = id & kLocaleIndexMask;
  const uint32_t version = (id >> bits::kVersionShift) & bits::kVersionMask;
  if (index == 0 || index >= kDesignators.size() || version >= kVersions.size()) return std::nullopt;
  std::string name = std::string(kDesignators[index]) + std::string(kVersions[version]);
  if (id & bits::kBinaryCodePoint) {
    name += "_BIN2";
  } else if (id & bits::kBinary) {
    name += "_BIN";
  } else {
    name += id & bits::kIgnoreCase ? "_CI" : "_CS";
    name += id & bits::kIgnoreAccents ? "_AI" : "_AS";
    if (!(id & bits::kIgnoreKana)) name += "_KS";
    if (!(id & bits::kIgnoreWidth)) name += "_WS";
  }
  if (id & kUtf8Flag) name += "_UTF8";
  return name;
}

bool HasCollation(uint8_t xtype) {
  namespace vt = value_type;
  return xtype == vt::kChar || xtype == vt::kVarChar || xtype == vt::kText || xtype == vt::kNChar ||
         xtype == vt::kNVarChar || xtype == vt::kNText;
}

}  // namespace tollamer
