// Text conversion: UTF-16LE and 8-bit text in a Windows code page, as stored
// by SQL Server, to the program's 8-bit encoding (UTF-8), and UTF-8 to GBK
// for files read on the original platform.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tollamer::platform {

// Appends one Unicode code point as UTF-8.
void AppendCodePointUtf8(std::string& out, uint32_t code_point);

// Converts UTF-16LE bytes to UTF-8. Surrogate pairs are joined; a lone
// surrogate becomes U+FFFD. An odd trailing byte is ignored.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);
// The same, appended to `out`.
void AppendUtf16LeAsUtf8(std::span<const uint8_t> bytes, std::string& out);

// Windows code page numbers; 65001 is UTF-8 (the _UTF8 collations).
inline constexpr uint16_t kCodePageUtf8 = 65001;
inline constexpr uint16_t kCodePageWestern = 1252;

// Appends 8-bit text stored in `code_page` as UTF-8. A byte the code page
// leaves undefined, an invalid or cut-off multibyte sequence becomes U+FFFD,
// so the result is always valid UTF-8. Code page 0, or one the converter does
// not have, reads as 1252.
void AppendCodePageAsUtf8(std::span<const uint8_t> bytes, uint16_t code_page, std::string& out);

// True when every byte is below 0x80: the same text in every code page.
bool IsAscii(std::span<const uint8_t> bytes);
std::string CodePageToUtf8(std::span<const uint8_t> bytes, uint16_t code_page);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// True when iconv can read `code_page` (65001 always).
bool CodePageSupported(uint16_t code_page);

// UTF-8 turned into GBK. Characters GBK cannot hold are written as '?' and
// counted; the first few of them are kept (as UTF-8) so that a caller can
// name them.
struct GbkText {
  std::string bytes;
  size_t unmappable = 0;
  std::vector<std::string> firstUnmappable;  // at most kUnmappableKept
};
inline constexpr size_t kUnmappableKept = 5;

// Nothing on failure of the converter itself.
std::optional<GbkText> Utf8ToGbk(std::string_view utf8);

}  // namespace tollamer::platform
