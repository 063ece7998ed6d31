// Fixed-length values of SQL 2005/2008 files.
#include <algorithm>

#include "engine/values/date_time_text.h"
#include "engine/values/decimal_text.h"
#include "engine/values/value_format.h"
#include "engine/values/value_format_shared.h"
#include "engine/values/wide_text.h"

namespace tollamer {
namespace {

// A char value is at most this long.
constexpr uint16_t kMaxCharLength = 8000;

}  // namespace

std::string FormatValue2005(uint8_t type_id, ByteView record, uint16_t offset,
                            uint8_t precision, uint8_t scale, uint16_t length,
                            uint8_t bit_index, uint16_t code_page) {
  using namespace value_type;
  const ByteView value = record.From(offset);
  if (std::optional<std::string> text = FormatSharedType(type_id, value, length)) return *text;
  switch (type_id) {
    case kDecimal:
    case kNumeric:
      return DecimalText2005(value, precision, scale);
    case kChar: {
      const size_t take = std::min({size_t{length}, size_t{kMaxCharLength}, value.size()});
      const ByteView stored = value.Slice(0, take).value_or(ByteView());
      return NarrowAsUtf8(UpToNul(stored), code_page);
    }
    case kBit:
      if (auto byte = value.U8(0); byte && bit_index < 8)
        return ((*byte >> bit_index) & 1) ? "1" : "0";
      return {};
    case kDate:
      return DateText(value);
    case kTime:
      return TimeText(value, length, scale);
    case kDateTime2:
      return DateTime2Text(value, length, scale);
    case kDateTimeOffset:
      return DateTimeOffsetText(value, length, scale);
    default:
      return {};
  }
}

}  // namespace tollamer
