#include "engine/rows/compressed_value_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/rows/compressed_numbers.h"
#include "engine/rows/table_rows_text.h"
#include "engine/values/large_values.h"
#include "engine/values/value_format.h"
#include "engine/values/wide_text.h"
#include "engine/values/xml_value.h"

namespace tollamer {
namespace {

using namespace value_type;

constexpr size_t kTextPointerSize = 16;

std::string FirstCharacters(std::string text, size_t count) {
  CutToCharacters(text, count);
  return text;
}

// The widened stored form through the ordinary formatter.
std::string Formatted(uint8_t type_id, ByteView value, ByteView buffer, const ColumnInfo& column) {
  const std::optional<WidenedValue> widened = WidenCompressedFixed(type_id, value, buffer);
  if (!widened) return {};
  return FormatValue2005(type_id, widened->View(), 0, column.xprec, column.xscale,
                         static_cast<uint16_t>(widened->size), 0);
}

std::string CharText(ByteView buffer, size_t length, uint16_t code_page) {
  const ByteView stored = buffer.Slice(0, std::min(length, buffer.size())).value_or(ByteView());
  return NarrowAsUtf8(UpToNul(stored), code_page);
}

ByteView BytesOf(const std::string& s) {
  return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

std::string OverflowText(const PageStore& store, ByteView pointer, uint8_t type_id) {
  std::string value;
  ReadOverflowValue(store, pointer, type_id, value);
  return value;
}

std::string TextValue(const PageStore& store, ByteView buffer, bool unicode) {
  const auto pointer = DecodeTextPointer(buffer.Slice(0, kTextPointerSize).value_or(ByteView()));
  if (!pointer) return {};
  std::string value;
  ReadTextValue2005(store, pointer->pageId, pointer->slotId, pointer->fileId, value, true,
                    unicode);
  return value;
}

ByteView Prefix(const std::string& bytes, size_t limit) {
  return ByteView(reinterpret_cast<const uint8_t*>(bytes.data()), std::min(bytes.size(), limit));
}

}  // namespace

std::string CompressedValueText(const ColumnInfo& column, ByteView buffer, size_t length,
                                bool complex, const PageStore& store) {
  length = std::min(length, buffer.size());
  const ByteView value = buffer.Slice(0, length).value_or(ByteView());
  switch (column.xtype) {
    case kTinyInt:
      return std::to_string(buffer.LeOr<uint8_t>(0));
    case kSmallInt:
    case kInt:
    case kBigInt:
      return CompressedIntegerText(value);
    case kMoney:
    case kSmallMoney:
    case kDateTime:
    case kSmallDateTime:
    case kReal:
    case kFloat:
      return Formatted(column.xtype, value, buffer, column);
    case kDecimal:
    case kNumeric:
      return CompressedDecimalText(value);
    case kUniqueIdentifier:
      return UniqueIdentifierText(buffer);
    case kDate:
    case kTime:
    case kDateTime2:
    case kDateTimeOffset:
      return FormatValue2005(column.xtype, buffer, 0, column.xprec, column.xscale, column.length,
                             0);
    case kBinary:
    case kTimestamp:
      return HexText(value);
    case kVarBinary:
    case kClr:
      if (!complex) return HexText(value);
      return HexText(Prefix(OverflowText(store, value, value_type::kVarBinary), kOverflowBytes));
    case kChar:
      return CharText(buffer, length, column.codePage);
    case kNChar:
      return NCharText(value, static_cast<uint16_t>(length));
    case kVarChar:
      if (!complex) return CharText(buffer, length, column.codePage);
      return FirstCharacters(
          NarrowAsUtf8(BytesOf(OverflowText(store, value, value_type::kVarChar)), column.codePage),
          kOverflowChars);
    case kNVarChar:
      if (!complex) return NCharText(value, static_cast<uint16_t>(length));
      return FirstCharacters(OverflowText(store, value, value_type::kNVarChar), kOverflowChars);
    case kXml: {
      std::string text;
      if (!complex) {
        DecodeXmlValue(value, text);
        return text;
      }
      // The off-row bytes hold the same token format as an in-row value.
      const std::string tokens = OverflowText(store, value, value_type::kVarBinary);
      DecodeXmlValue(Prefix(tokens, tokens.size()), text);
      return FirstCharacters(std::move(text), kOverflowChars);
    }
    case kText:
      return FirstCharacters(NarrowAsUtf8(BytesOf(TextValue(store, buffer, false)), column.codePage),
                             kLargeText2005Chars);
    case kNText: {
      const auto pointer = DecodeTextPointer(buffer.Slice(0, kTextPointerSize).value_or(ByteView()));
      if (!pointer || pointer->pageId == 0) return {};
      return FirstCharacters(TextValue(store, buffer, true), kLargeText2005Chars);
    }
    case kImage:
      return HexText(Prefix(TextValue(store, buffer, false), kImageBytes));
    case kSqlVariant:
      return "NULL";
    default:
      return {};
  }
}

}  // namespace tollamer
