#include "platform/text.h"

#include <iconv.h>

#include <cerrno>

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

void AppendUtf16LeAsUtf8(std::span<const uint8_t> bytes, std::string& out) {
  // Each unit gives at most 3 bytes (a surrogate pair, two units, gives 4):
  // the room is made once and written through a pointer.
  const size_t units = bytes.size() / 2;
  const size_t start = out.size();
  out.resize(start + 3 * units);
  char* const base = out.data();
  char* p = base + start;
  const uint8_t* in = bytes.data();
  for (size_t i = 0; i < units; ++i) {
    const uint32_t u = in[2 * i] | (in[2 * i + 1] << 8);
    if (u < 0x80) {
      *p++ = static_cast<char>(u);
      continue;
    }
    uint32_t cp = u;
    if (u >= 0xD800 && u <= 0xDFFF) {
      const uint32_t low = i + 1 < units ? in[2 * i + 2] | (in[2 * i + 3] << 8) : 0;
      if (u <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        *p++ = '?';  // a lone surrogate
        continue;
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
  }
  out.resize(static_cast<size_t>(p - base));
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  std::string out;
  AppendUtf16LeAsUtf8(bytes, out);
  return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  iconv_t cd = ::iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(utf8.size());
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char buffer[4096];
  while (in_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = ::iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An unconvertible or malformed sequence: skip one whole UTF-8 character.
      out.push_back('?');
      size_t skip = 1;
      while (skip < in_left && (static_cast<uint8_t>(in[skip]) & 0xC0) == 0x80) ++skip;
      in += skip;
      in_left -= skip;
    }
  }
  ::iconv_close(cd);
  return out;
}

}  // namespace tollamer::platform
