#include "engine/catalog/name_decoding.h"

#include <algorithm>

#include "platform/text.h"

namespace tollamer {

std::string DecodeName(ByteView utf16le) {
  std::string name = platform::Utf16LeToUtf8(utf16le.span());
  name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
  return name;
}

}  // namespace tollamer
