#include "app/tool_fields.h"

namespace tollamer::app {

uint64_t SectorFieldValue(const QString& text) {
  uint64_t value = 0;
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i].unicode() - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;  // saturates instead of wrapping
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace tollamer::app
