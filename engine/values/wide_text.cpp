#include "engine/values/wide_text.h"

#include "platform/text.h"

namespace tollamer {

size_t NarrowLength(ByteView bytes) {
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes.data()[i] == 0) return i;
  return bytes.size();
}

ByteView UpToNul(ByteView bytes) { return ByteView(bytes.data(), NarrowLength(bytes)); }

size_t WideLength(ByteView utf16) {
  const size_t units = utf16.size() / 2;
  for (size_t i = 0; i < units; ++i)
    if (utf16.LeOr<uint16_t>(2 * i) == 0) return i;
  return units;
}

namespace {

constexpr uint16_t kOemWestern = 850;

bool HasBytesWesternLacks(ByteView bytes) {
  for (uint8_t b : bytes.span())
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) return true;
  return false;
}

}  // namespace

void AppendNarrowJudgedBy(ByteView bytes, ByteView judged, uint16_t code_page,
                          std::string& out) {
  if (platform::IsAscii(bytes.span())) {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  if ((code_page == 0 || code_page == platform::kCodePageWestern) && HasBytesWesternLacks(judged))
    code_page = kOemWestern;
  platform::AppendCodePageAsUtf8(bytes.span(), code_page, out);
}

void AppendNarrowAsUtf8(ByteView bytes, uint16_t code_page, std::string& out) {
  AppendNarrowJudgedBy(bytes, bytes, code_page, out);
}

std::string NarrowAsUtf8(ByteView bytes, uint16_t code_page) {
  std::string out;
  AppendNarrowAsUtf8(bytes, code_page, out);
  return out;
}

void AppendWideAsAnsi(ByteView utf16, std::string& out) {
  std::optional<ByteView> text = utf16.Slice(0, 2 * WideLength(utf16));
  if (text) platform::AppendUtf16LeAsUtf8(text->span(), out);
}

}  // namespace tollamer
