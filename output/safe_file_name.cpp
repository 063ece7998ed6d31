#include "output/safe_file_name.h"

#include <string_view>

namespace tollamer {

namespace {

constexpr std::string_view kUnsafe = "/\\:*?\"<>|";

bool IsUnsafe(unsigned char c) {
  return c < 0x20 || c == 0x7F || kUnsafe.find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string SafeFileNamePart(std::string_view name) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsUnsafe(c)) {
      out[i] = '_';
    } else if (c == '.') {
      bool run = (i > 0 && name[i - 1] == '.') || (i + 1 < name.size() && name[i + 1] == '.');
      if (run) out[i] = '_';
    }
  }
  return out;
}

std::optional<std::string> PathInFolder(const std::string& folder, const std::string& file_name) {
  if (file_name.empty() || file_name == "." || file_name == "..") return std::nullopt;
  if (file_name.find_first_of("/\\") != std::string::npos) return std::nullopt;
  if (file_name.find('\0') != std::string::npos) return std::nullopt;
  return folder + "/" + file_name;
}

}  // namespace tollamer
