#include "engine/rows/compressed_value_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/rows/compressed_numbers.h"
#include "engine/rows/values/large_values.h"
#include "engine/rows/values/value_format.h"
#include "engine/rows/values/wide_text.h"
#include "engine/rows/values/xml_value.h"

namespace tollamer {
namespace {

using namespace value_type;

// Display limits of large values.
constexpr size_t kOverflowTextLimit = 800;
constexpr size_t kOverflowBytesLimit = 800;
constexpr size_t kTextLimit = 8000;
constexpr size_t kImageBytesLimit = 4000;
constexpr size_t kRealSize = 4;
constexpr size_t kFloatSize = 8;
constexpr size_t kMoneySize = 8;
constexpr size_t kSmallMoneySize = 4;
constexpr size_t kSmallDateTimeSize = 4;
constexpr size_t kTextPointerSize = 16;

// Cuts UTF-8 text to its first `count` characters.
std::string FirstCharacters(std::string text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<uint8_t>(text[i]) & 0xC0) == 0x80) continue;
    if (seen == count) {
      text.resize(i);
      break;
    }
    ++seen;
  }
  return text;
}

// The stored form of a fixed type through the ordinary formatter.
template <size_t N>
std::string Formatted(uint8_t type_id, const std::array<uint8_t, N>& bytes,
                      const ColumnInfo& column) {
  return FormatValue2005(type_id, ByteView(bytes.data(), bytes.size()), 0, column.xprec,
                         column.xscale, static_cast<uint16_t>(N), 0);
}

template <size_t N>
std::array<uint8_t, N> LittleEndian(uint64_t value) {
  std::array<uint8_t, N> bytes{};
  for (size_t i = 0; i < N; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

// Stored bytes that are the high-order end of an N-byte value whose zero
// low-order bytes were dropped.
template <size_t N>
std::array<uint8_t, N> RightAligned(ByteView stored) {
  std::array<uint8_t, N> bytes{};
  const size_t take = std::min(stored.size(), N);
  for (size_t i = 0; i < take; ++i) bytes[N - take + i] = stored.data()[i];
  return bytes;
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
    case kMoney: {
      const auto units = CompressedInteger(value);
      if (!units) return {};
      return Formatted(kMoney, LittleEndian<kMoneySize>(static_cast<uint64_t>(*units)), column);
    }
    case kSmallMoney: {
      const auto units = CompressedInteger(value);
      if (!units) return {};
      return Formatted(kSmallMoney, LittleEndian<kSmallMoneySize>(static_cast<uint64_t>(*units)),
                       column);
    }
    case kDateTime: {
      // Low 32 bits the ticks, high 32 bits the days: the stored form.
      const auto packed = CompressedInteger(value);
      if (!packed) return {};
      return Formatted(kDateTime, LittleEndian<8>(static_cast<uint64_t>(*packed)), column);
    }
    case kSmallDateTime: {
      uint32_t packed = buffer.LeOr<uint32_t>(0);
      if (length == 2) packed <<= 16;  // the bytes are the day count alone
      return Formatted(kSmallDateTime, LittleEndian<kSmallDateTimeSize>(packed), column);
    }
    case kReal:
      return Formatted(kReal, RightAligned<kRealSize>(value), column);
    case kFloat:
      // Dropped zero bytes are the low-order ones, as for real.
      return Formatted(kFloat, RightAligned<kFloatSize>(value), column);
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
      return HexText(Prefix(OverflowText(store, value, kOverflowVarbinary), kOverflowBytesLimit));
    case kChar:
      return CharText(buffer, length, column.codePage);
    case kNChar:
      return NCharText(value, static_cast<uint16_t>(length));
    case kVarChar:
      if (!complex) return CharText(buffer, length, column.codePage);
      return FirstCharacters(
          NarrowAsUtf8(BytesOf(OverflowText(store, value, kOverflowVarchar)), column.codePage),
          kOverflowTextLimit);
    case kNVarChar:
      if (!complex) return NCharText(value, static_cast<uint16_t>(length));
      return FirstCharacters(OverflowText(store, value, kOverflowNvarchar), kOverflowTextLimit);
    case kXml: {
      std::string text;
      if (!complex) {
        DecodeXmlValue(value, text);
        return text;
      }
      // The off-row bytes hold the same token format as an in-row value.
      const std::string tokens = OverflowText(store, value, kOverflowVarbinary);
      DecodeXmlValue(Prefix(tokens, tokens.size()), text);
      return FirstCharacters(std::move(text), kOverflowTextLimit);
    }
    case kText:
      return FirstCharacters(NarrowAsUtf8(BytesOf(TextValue(store, buffer, false)), column.codePage),
                             kTextLimit);
    case kNText: {
      const auto pointer = DecodeTextPointer(buffer.Slice(0, kTextPointerSize).value_or(ByteView()));
      if (!pointer || pointer->pageId == 0) return {};
      return FirstCharacters(TextValue(store, buffer, true), kTextLimit);
    }
    case kImage:
      return HexText(Prefix(TextValue(store, buffer, false), kImageBytesLimit));
    case kSqlVariant:
      return "NULL";
    default:
      return {};
  }
}

}  // namespace tollamer
