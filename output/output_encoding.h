// The byte encoding of the text files the program writes (scripts, reports).
// Texts are held as UTF-8; a file meant for tools of the original platform
// is written in GBK instead. Neither carries a byte-order mark.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tollamer {

enum class OutputEncoding {
  kUtf8,  // the default
  kGbk,
};

// The bytes to write for `text`; nothing when the GBK converter is unavailable.
std::optional<std::string> EncodeOutputText(std::string_view text, OutputEncoding encoding);

// "utf8" / "gbk" (any letter case); nothing for another name.
std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name);

}  // namespace tollamer
