#include "engine/catalog/name_decoding.h"

#include "platform/text.h"

namespace tollamer {

std::string DecodeName(ByteView utf16le) { return platform::Utf16LeToUtf8(utf16le.span()); }

}  // namespace tollamer
