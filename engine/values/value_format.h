// Small text forms the value formatters share: character cuts, bits and
// hex digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/pagestore/byte_view.h"
#include "engine/values/value_types.h"

namespace tollamer {

// Cuts UTF-8 `text` after its first `count` characters.
inline void CutToCharacters(std::string& text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<uint8_t>(text[i]) & 0xC0) == 0x80) continue;  // a continuation byte
    if (seen == count) {
      text.resize(i);
      return;
    }
    ++seen;
  }
}

// One byte as eight '0'/'1' characters, character j being bit j.
std::string ByteToBitString(uint8_t byte);

// Two upper-case hex digits for each byte, and the same after "0x"; the
// digits written at `at` (room for 2 bytes each), returning the end.
void AppendHexDigits(std::string& out, ByteView bytes);
char* PutHexDigits(char* at, ByteView bytes);
std::string HexText(ByteView bytes);

// A uniqueidentifier's 16 bytes as XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX
// (the first three groups little-endian); empty text when they are short.
std::string UniqueIdentifierText(ByteView bytes);
// The same text of 16 bytes at `b`, written at `at` (room for
// kUniqueIdentifierText bytes); returns the end.
inline constexpr size_t kUniqueIdentifierBytes = 16;
inline constexpr size_t kUniqueIdentifierText = 36;
char* PutUniqueIdentifierText(char* at, const uint8_t* b);

}  // namespace tollamer
