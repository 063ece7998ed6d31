// Text copied into a quoted field or literal with its quote character
// doubled, as CSV ("") and SQL ('') write it: sixteen bytes a step up to
// the next quote.
#pragma once

#include <bit>
#include <cstddef>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tollamer {

// The `size` bytes of `in` at `at` (room for 2 * size bytes), each `quote`
// among them doubled; `high` gathers the bytes' high bits (non-zero: not
// all ASCII). Returns the end.
inline char* PutQuotesDoubled(char* at, const char* in, size_t size, char quote, unsigned& high) {
  size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
  // At most 2 * i bytes are written before byte i, so a 16-byte store
  // stays in the room while 16 bytes of text remain.
  const __m128i quotes = _mm_set1_epi8(quote);
  while (i + 16 <= size) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    high |= static_cast<unsigned>(_mm_movemask_epi8(v));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quotes)));
    if (mask == 0) {
      at += 16;
      i += 16;
      continue;
    }
    const size_t run = static_cast<size_t>(std::countr_zero(mask)) + 1;
    at += run;
    *at++ = quote;
    i += run;
  }
#endif
  // Each byte written twice, the place moving on by two at a quote.
  for (; i < size; ++i) {
    const char c = in[i];
    high |= static_cast<unsigned char>(c) & 0x80u;
    at[0] = c;
    at[1] = c;
    at += 1 + (c == quote);
  }
  return at;
}

}  // namespace tollamer
