#include "engine/rows/compressed_value_typed.h"

#include <algorithm>

#include "engine/rows/compressed_numbers.h"
#include "engine/rows/typed_decode.h"
#include "engine/values/value_format.h"

namespace tollamer {

namespace {

constexpr size_t kTextPointerSize = 16;

}  // namespace

TypedValue CompressedValueTyped(const ColumnInfo& column, ByteView buffer, size_t length,
                                bool complex, const PageStore& store,
                                const RecordTraits& traits) {
  using namespace value_type;
  length = std::min(length, buffer.size());
  const ByteView value = buffer.Slice(0, length).value_or(ByteView());
  switch (column.xtype) {
    case kTinyInt:
      return TypedValue::Integer(buffer.LeOr<uint8_t>(0));
    case kBit:
      // A bit's 1 is a CD code of its own; the empty code is 0 (stored bytes
      // mean nothing and do not come here).
      return TypedValue::Integer(0);
    case kSmallInt:
    case kInt:
    case kBigInt: {
      const auto number = CompressedInteger(value);
      return number ? TypedValue::Integer(*number) : TypedValue::Null();
    }
    case kMoney:
    case kSmallMoney:
    case kDateTime:
    case kSmallDateTime:
    case kReal:
    case kFloat: {
      const auto widened = WidenCompressedFixed(column.xtype, value, buffer);
      if (!widened) return TypedValue::Null();
      return DecodeFixedTyped(column, widened->View(), 0, 0);
    }
    case kDecimal:
    case kNumeric: {
      if (value.empty()) return TypedValue::Decimal(std::string(1, '0'));  // no bytes: zero
      return TypedValue::Decimal(CompressedDecimalText(value));
    }
    case kUniqueIdentifier:
    case kDate:
    case kTime:
    case kDateTime2:
    case kDateTimeOffset:
      // Stored whole; the buffer's zeros stand in for nothing missing.
      return DecodeFixedTyped(column, buffer, 0, 0);
    case kBinary:
    case kTimestamp:
      return TypedValue::Bytes(std::vector<uint8_t>(value.data(), value.data() + value.size()));
    case kChar:
    case kNChar: {
      // The pad blanks are dropped from the compressed form.
      ColumnInfo stored = column;
      stored.length = static_cast<uint16_t>(length);
      return DecodeFixedTyped(stored, value, 0, 0);
    }
    default: {
      CellLocation cell;
      cell.kind = CellKind::kVariable;
      // A text pointer's dropped trailing bytes are zeros.
      const bool pointer = column.xtype == kText || column.xtype == kNText || column.xtype == kImage;
      cell.length = static_cast<uint16_t>(pointer ? std::max(length, kTextPointerSize) : length);
      cell.complex = complex;
      return DecodeCellTyped(store, traits, column, cell, buffer);
    }
  }
}

}  // namespace tollamer
