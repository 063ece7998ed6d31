// Paths as the program keeps them (UTF-8 strings) and as std::filesystem
// takes them. A path's narrow form is UTF-8 on POSIX but the ANSI code page
// on Windows, so every std::filesystem call on a name that came from the
// user or from the database goes through these (char8_t is UTF-8 on both).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tollamer::platform {

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace tollamer::platform
