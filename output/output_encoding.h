// The byte encoding of the text files the program writes (scripts, reports).
// Texts are held as UTF-8; a file meant for tools of the original platform
// is written in GBK instead. Neither carries a byte-order mark.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tollamer {

enum class OutputEncoding {
  kUtf8,  // the default
  kGbk,
};

// The bytes to write for a text, and the characters the encoding could not
// hold: GBK lacks many (emoji, most scripts beyond Chinese), which are
// written as '?' and reported, never dropped unnoticed.
struct EncodedText {
  std::string bytes;
  size_t unmappable = 0;
  std::vector<std::string> firstUnmappable;  // the first few, as UTF-8
};

// Nothing when the GBK converter is unavailable.
std::optional<EncodedText> EncodeOutputText(std::string_view text, OutputEncoding encoding);

// "utf8" / "gbk" (any letter case); nothing for another name.
std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name);

}  // namespace tollamer
