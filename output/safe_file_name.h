// File names made from object names. An object name comes from the file
// being recovered and may hold anything: path separators, "..", characters
// that no file system accepts, control characters. The script keeps the real
// name; only the file name is made safe, so that it always names a file
// directly inside the chosen folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tollamer {

// `name` with every unsafe character replaced by '_': '/', '\\', ':', '*',
// '?', '"', '<', '>', '|', control characters (below 0x20, and 0x7F), and
// every point of a run of two or more points. A single point stays
// (dbo.Orders). Bytes of multibyte characters stay as they are.
std::string SafeFileNamePart(std::string_view name);

// folder + "/" + file_name, or nothing when `file_name` would not name an
// entry directly inside `folder` (empty, ".", "..", or holding a separator).
// The folder is kept as given: one typed with a trailing separator gives two
// separators before the file name.
std::optional<std::string> PathInFolder(const std::string& folder, const std::string& file_name);

}  // namespace tollamer
