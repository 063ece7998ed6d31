#include "engine/rows/values/wide_text.h"

#include "platform/text.h"

namespace tollamer {

size_t NarrowLength(ByteView bytes) {
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes.data()[i] == 0) return i;
  return bytes.size();
}

size_t WideLength(ByteView utf16) {
  const size_t units = utf16.size() / 2;
  for (size_t i = 0; i < units; ++i)
    if (utf16.LeOr<uint16_t>(2 * i) == 0) return i;
  return units;
}

void AppendWideAsAnsi(ByteView utf16, std::string& out) {
  std::optional<ByteView> text = utf16.Slice(0, 2 * WideLength(utf16));
  if (text) platform::AppendUtf16LeAsUtf8(text->span(), out);
}

}  // namespace tollamer
