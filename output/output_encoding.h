// The byte encoding of the text files the program writes (scripts, reports).
// Texts are held as UTF-8. Scripts carry a UTF-8 byte-order mark by default,
// so that sqlcmd and editors that would guess an ANSI code page read their
// non-ASCII names right; a file meant for tools of the original platform is
// written in GBK instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tollamer {

enum class OutputEncoding {
  kUtf8,         // no byte-order mark (reports)
  kUtf8WithBom,  // EF BB BF first (scripts)
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

// The bytes a file of `encoding` begins with.
std::string_view ByteOrderMark(OutputEncoding encoding);

// "utf8" (with its byte-order mark), "utf8-nobom" or "gbk" (any letter
// case); nothing for another name.
std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name);

}  // namespace tollamer
