#include "engine/catalog/record_columns.h"

#include <algorithm>

#include "engine/pagestore/record_frame.h"
#include "engine/pagestore/record_layout.h"
#include "engine/values/value_types.h"

namespace tollamer {

namespace {

using record_layout::kComplexFlag;
using record_layout::kEndOffsetMask;
using record_layout::kStatusA;
using record_layout::kStatusVariableColumns;

// A decimal entry ends in the sign byte and the magnitude.
constexpr size_t kDecimalTail = 17;

std::string Unsigned128Text(unsigned __int128 v) {
  if (v == 0) return "0";
  std::string digits;
  while (v != 0) {
    digits.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  std::reverse(digits.begin(), digits.end());
  return digits;
}

std::optional<std::string> ValueText(ByteView entry, uint8_t xtype) {
  size_t e = entry.size();
  switch (xtype) {
    case value_type::kTinyInt:
      if (e != 1) return std::nullopt;
      return std::to_string(*entry.U8(0));
    case value_type::kSmallInt:
      if (e != 2) return std::nullopt;
      return std::to_string(*entry.I16(0));
    case value_type::kInt:
      if (e != 4) return std::nullopt;
      return std::to_string(*entry.I32(0));
    case value_type::kBigInt:
      if (e != 8) return std::nullopt;
      return std::to_string(*entry.I64(0));
    case value_type::kDecimal:
    case value_type::kNumeric: {
      if (e < kDecimalTail) return std::nullopt;
      size_t sign_at = e - kDecimalTail;
      unsigned __int128 magnitude = 0;
      for (size_t k = e; k > sign_at + 1; --k) magnitude = (magnitude << 8) | *entry.U8(k - 1);
      std::string text = Unsigned128Text(magnitude);
      return (*entry.U8(sign_at) == 1 || magnitude == 0) ? text : "-" + text;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<ByteView> VariableColumn(ByteView row, size_t index) {
  std::optional<uint8_t> status = row.U8(kStatusA);
  if (!status || !(*status & kStatusVariableColumns)) return std::nullopt;
  std::optional<RecordFrame> frame = ReadRecordFrame(row);
  if (!frame || index >= frame->variableCount) return std::nullopt;
  size_t start = frame->VariableDataStart();
  if (index > 0) {
    std::optional<uint16_t> previous = VariableEndOffset(row, *frame, index);
    if (!previous) return std::nullopt;
    start = *previous & kEndOffsetMask;
  }
  std::optional<uint16_t> end = VariableEndOffset(row, *frame, index + 1);
  if (!end || (*end & kComplexFlag) || *end < start) return std::nullopt;
  return row.Slice(start, *end - start);
}

std::optional<IdentityInfo> DecodeIdentityValues(ByteView bytes, uint8_t xtype, uint16_t colid) {
  if (bytes.size() < 4 || (bytes.size() - 1) % 3 != 0) return std::nullopt;
  size_t e = (bytes.size() - 1) / 3;
  std::optional<ByteView> increment_bytes = bytes.Slice(e, e);
  std::optional<ByteView> seed_bytes = bytes.Slice(2 * e, e);
  if (!seed_bytes || !increment_bytes) return std::nullopt;
  std::optional<std::string> seed = ValueText(*seed_bytes, xtype);
  std::optional<std::string> increment = ValueText(*increment_bytes, xtype);
  if (!seed || !increment || *increment == "0") return std::nullopt;
  return IdentityInfo{colid, *seed, *increment};
}

}  // namespace tollamer
