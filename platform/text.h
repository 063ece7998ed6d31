// Text conversion: UTF-16LE as stored by SQL Server to the program's 8-bit
// encoding (UTF-8), and UTF-8 to GBK for files read on the original platform.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tollamer::platform {

// Appends one Unicode code point as UTF-8.
void AppendCodePointUtf8(std::string& out, uint32_t code_point);

// Converts UTF-16LE bytes to UTF-8. Surrogate pairs are joined; a lone
// surrogate becomes '?', as a wide-to-multibyte conversion would give. An odd
// trailing byte is ignored.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);
// The same, appended to `out`.
void AppendUtf16LeAsUtf8(std::span<const uint8_t> bytes, std::string& out);

// Converts UTF-8 to GBK; characters GBK lacks become '?'. Nothing on failure
// of the converter itself.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

}  // namespace tollamer::platform
