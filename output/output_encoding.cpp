#include "output/output_encoding.h"

#include <cctype>

#include "platform/text.h"

namespace tollamer {

std::optional<std::string> EncodeOutputText(std::string_view text, OutputEncoding encoding) {
  if (encoding == OutputEncoding::kGbk) return platform::Utf8ToGbk(text);
  return std::string(text);
}

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name) {
  std::string lower;
  for (char c : name) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "utf8" || lower == "utf-8") return OutputEncoding::kUtf8;
  if (lower == "gbk") return OutputEncoding::kGbk;
  return std::nullopt;
}

}  // namespace tollamer
