// UTF-16LE text written as UTF-8 straight into room the caller has made,
// for writers that make the room of a whole row at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::platform {

// The most UTF-8 bytes one UTF-16 unit becomes (a surrogate pair, two
// units, becomes four bytes).
inline constexpr size_t kUtf8PerUnit = 3;

// Writes the `units` UTF-16LE units at `in` as UTF-8 at `at` (room for
// kUtf8PerUnit bytes a unit), as AppendUtf16LeAsUtf8 converts them; the
// ASCII character `doubled` is written twice (0: none is). Returns the end.
char* PutUtf16LeAsUtf8(char* at, const uint8_t* in, size_t units, char doubled = 0);

}  // namespace tollamer::platform
