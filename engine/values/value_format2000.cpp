// Fixed-length values of SQL 7.0/2000 files.
#include "engine/values/decimal_text.h"
#include "engine/values/value_format.h"
#include "engine/values/value_format_shared.h"

namespace tollamer {

std::string FormatValue2000(uint8_t type_id, ByteView record, uint16_t offset,
                            uint8_t bit_position, uint8_t precision, uint8_t scale,
                            uint16_t length, uint16_t code_page) {
  using namespace value_type;
  const ByteView value = record.From(offset);
  if (std::optional<std::string> text = FormatSharedType(type_id, value, length)) return *text;
  switch (type_id) {
    case kDecimal:
    case kNumeric:
      return DecimalText2000(value, precision, scale);
    case kChar:
      return CharText2000(value, length, code_page);
    case kBit:
      if (auto byte = value.U8(0); byte && bit_position < 8)
        return ((*byte >> bit_position) & 1) ? "1" : "0";
      return {};
    default:
      return {};
  }
}

}  // namespace tollamer
