#include "platform/text.h"

#include "platform/code_pages.h"
#include "platform/utf16_put.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace tollamer::platform {

void AppendCodePointUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}


namespace {

// One unit at `in` (or a surrogate pair) as UTF-8 at `p`; `i` moves past
// a pair's second unit.
char* PutUnit(char* p, const uint8_t* in, size_t& i, size_t units, char doubled) {
  const uint32_t u = in[2 * i] | (in[2 * i + 1] << 8);
  if (u < 0x80) {
    if (doubled != 0 && u == static_cast<uint8_t>(doubled)) *p++ = static_cast<char>(u);
    *p++ = static_cast<char>(u);
    return p;
  }
  uint32_t cp = u;
  if (u >= 0xD800 && u <= 0xDFFF) {
    const uint32_t low = i + 1 < units ? in[2 * i + 2] | (in[2 * i + 3] << 8) : 0;
    if (u <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
      cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else {
      // A lone surrogate: U+FFFD.
      *p++ = static_cast<char>(0xEF);
      *p++ = static_cast<char>(0xBF);
      *p++ = static_cast<char>(0xBD);
      return p;
    }
  }
  if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (cp >> 18));
    *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

}  // namespace

char* PutUtf16LeAsUtf8(char* at, const uint8_t* in, size_t units, char doubled) {
  char* p = at;
  size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
  // Eight units a step while they are ASCII (and not the doubled
  // character), packed to eight bytes; a step that meets another unit
  // keeps the ASCII units before it. The room of eight units is 24 bytes:
  // the 16-byte store stays inside it.
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i twice = _mm_set1_epi16(doubled != 0 ? static_cast<short>(doubled)
                                                    : static_cast<short>(0xFFFF));
  const __m128i zero = _mm_setzero_si128();
  while (i + 8 <= units) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
    const __m128i ascii = _mm_andnot_si128(_mm_cmpeq_epi16(v, twice),
                                           _mm_cmpeq_epi16(_mm_and_si128(v, high), zero));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(ascii));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
    if (mask == 0xFFFF) {
      p += 8;
      i += 8;
      continue;
    }
    const size_t run = static_cast<size_t>(std::countr_one(mask)) / 2;
    p += run;
    i += run;
    // The units past ASCII one by one while they last (text in another
    // script), then eight at a time again.
    do {
      p = PutUnit(p, in, i, units, doubled);
      ++i;
    } while (i < units && (in[2 * i + 1] != 0 || in[2 * i] >= 0x80));
  }
  // The last few units by the eight that end the text, when all of them
  // are ASCII: the ones already written took a byte each, and are written
  // again the same.
  if (i < units && units >= 8) {
    const size_t from = units - 8;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * from));
    const __m128i ascii = _mm_andnot_si128(_mm_cmpeq_epi16(v, twice),
                                           _mm_cmpeq_epi16(_mm_and_si128(v, high), zero));
    if (_mm_movemask_epi8(ascii) == 0xFFFF) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p - (i - from)), _mm_packus_epi16(v, v));
      return p + (units - i);
    }
  }
#endif
  for (; i < units; ++i) p = PutUnit(p, in, i, units, doubled);
  return p;
}

void AppendUtf16LeAsUtf8(std::span<const uint8_t> bytes, std::string& out) {
  // Each unit gives at most 3 bytes (a surrogate pair, two units, gives 4):
  // the room is made once and written through a pointer.
  const size_t units = bytes.size() / 2;
  const size_t start = out.size();
  out.resize(start + kUtf8PerUnit * units);
  char* const base = out.data();
  char* const end = PutUtf16LeAsUtf8(base + start, bytes.data(), units);
  out.resize(static_cast<size_t>(end - base));
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  std::string out;
  AppendUtf16LeAsUtf8(bytes, out);
  return out;
}

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Code page 1252 from 0x80 to 0x9F; 0 marks the five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D). From 0xA0 on it is Latin-1.
constexpr std::array<uint16_t, 32> kWestern80To9F = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendWestern(std::span<const uint8_t> bytes, std::string& out) {
  for (uint8_t b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (b < 0xA0) {
      const uint16_t cp = kWestern80To9F[b - 0x80];
      AppendCodePointUtf8(out, cp == 0 ? kReplacement : cp);
    } else {
      AppendCodePointUtf8(out, b);
    }
  }
}

// The length of the well-formed UTF-8 sequence at the start of `s` (no
// overlong forms, no surrogates, nothing above U+10FFFF); 0 when there is none.
size_t Utf8SequenceLength(std::span<const uint8_t> s) {
  const uint8_t b0 = s[0];
  if (b0 < 0x80) return 1;
  size_t n = 0;
  uint8_t low = 0x80, high = 0xBF;  // range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n || s[1] < low || s[1] > high) return 0;
  for (size_t k = 2; k < n; ++k)
    if ((s[k] & 0xC0) != 0x80) return 0;
  return n;
}


}  // namespace

void AppendValidUtf8(std::span<const uint8_t> bytes, std::string& out) {
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t n = Utf8SequenceLength(bytes.subspan(i));
    if (n == 0) {
      AppendCodePointUtf8(out, kReplacement);
      ++i;
    } else {
      out.append(reinterpret_cast<const char*>(bytes.data() + i), n);
      i += n;
    }
  }
}

bool IsAscii(std::span<const uint8_t> bytes) {
  // Eight bytes at a time: any high bit set is a byte of 0x80 or more.
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= bytes.size(); i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if (word & kHighBits) return false;
  }
  for (; i < bytes.size(); ++i)
    if (bytes[i] >= 0x80) return false;
  return true;
}

bool IsValidUtf8(std::string_view text) {
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes.subspan(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool CodePageSupported(uint16_t code_page) {
  if (code_page == kCodePageUtf8 || code_page == kCodePageWestern) return true;
  return code_page != 0 && SystemHasCodePage(code_page);
}

void AppendCodePageAsUtf8(std::span<const uint8_t> bytes, uint16_t code_page, std::string& out) {
  if (IsAscii(bytes)) {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  if (code_page == kCodePageUtf8) return AppendValidUtf8(bytes, out);
  if (code_page == 0 || code_page == kCodePageWestern) return AppendWestern(bytes, out);
  if (!AppendSystemCodePage(bytes, code_page, out)) AppendWestern(bytes, out);
}

std::string CodePageToUtf8(std::span<const uint8_t> bytes, uint16_t code_page) {
  std::string out;
  AppendCodePageAsUtf8(bytes, code_page, out);
  return out;
}


}  // namespace tollamer::platform
