// The system's code page converters beneath text.cpp (not for callers
// outside platform/): iconv on POSIX (text_iconv.cpp), the Windows code page
// functions on Windows (windows_text.cpp). Both give the same UTF-8: a byte
// or sequence the code page leaves undefined, or a multibyte character cut
// off at the end, becomes one U+FFFD and the reading goes on at the next byte.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tollamer::platform {

// True when the system converts `code_page` (a Windows code page number).
bool SystemHasCodePage(uint16_t code_page);

// Appends `bytes`, stored in `code_page`, as UTF-8; false (nothing appended)
// when the system lacks the code page.
bool AppendSystemCodePage(std::span<const uint8_t> bytes, uint16_t code_page, std::string& out);

// Appends `bytes` as UTF-8 with every ill-formed sequence as U+FFFD.
void AppendValidUtf8(std::span<const uint8_t> bytes, std::string& out);

}  // namespace tollamer::platform
