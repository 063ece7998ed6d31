#include "output/output_encoding.h"

#include <cctype>

#include "platform/text.h"

namespace tollamer {

std::optional<EncodedText> EncodeOutputText(std::string_view text, OutputEncoding encoding) {
  if (encoding != OutputEncoding::kGbk) return EncodedText{std::string(text), 0, {}};
  std::optional<platform::GbkText> gbk = platform::Utf8ToGbk(text);
  if (!gbk) return std::nullopt;
  return EncodedText{std::move(gbk->bytes), gbk->unmappable, std::move(gbk->firstUnmappable)};
}

std::string_view ByteOrderMark(OutputEncoding encoding) {
  return encoding == OutputEncoding::kUtf8WithBom ? "\xEF\xBB\xBF" : "";
}

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name) {
  std::string lower;
  for (char c : name) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "utf8" || lower == "utf-8") return OutputEncoding::kUtf8WithBom;
  if (lower == "utf8-nobom" || lower == "utf-8-nobom") return OutputEncoding::kUtf8;
  if (lower == "gbk") return OutputEncoding::kGbk;
  return std::nullopt;
}

}  // namespace tollamer
