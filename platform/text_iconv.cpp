// Code page conversion through iconv (glibc's converters).
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/code_pages.h"
#include "platform/text.h"

namespace tollamer::platform {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

iconv_t OpenFrom(uint16_t code_page) {
  char name[16];
  std::snprintf(name, sizeof name, "CP%u", static_cast<unsigned>(code_page));
  return ::iconv_open("UTF-8", name);
}

// One converter per code page and thread, kept for the thread's life:
// decoding runs on several threads at once.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (auto& [cp, cd] : open_)
      if (cd != Invalid()) ::iconv_close(cd);
  }
  // The converter from `code_page` to UTF-8, reset; Invalid() when iconv lacks it.
  iconv_t For(uint16_t code_page) {
    for (auto& [cp, cd] : open_) {
      if (cp != code_page) continue;
      if (cd != Invalid()) ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
      return cd;
    }
    open_.emplace_back(code_page, OpenFrom(code_page));
    return open_.back().second;
  }
  static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

 private:
  std::vector<std::pair<uint16_t, iconv_t>> open_;
};

ConverterCache& Converters() {
  thread_local ConverterCache cache;
  return cache;
}

}  // namespace

bool SystemHasCodePage(uint16_t code_page) {
  return Converters().For(code_page) != ConverterCache::Invalid();
}

bool AppendSystemCodePage(std::span<const uint8_t> bytes, uint16_t code_page, std::string& out) {
  iconv_t cd = Converters().For(code_page);
  if (cd == ConverterCache::Invalid()) return false;
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  size_t in_left = bytes.size();
  char buffer[4096];
  while (in_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    const size_t r = ::iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ: a byte the code page does not define; EINVAL: a multibyte
    // character cut off at the end. Either stands for one U+FFFD, and the
    // reading goes on after its first byte.
    AppendCodePointUtf8(out, kReplacement);
    ++in;
    --in_left;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Converters that combine characters (1258) hold the last one back.
  char* dst = buffer;
  size_t dst_left = sizeof buffer;
  ::iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(buffer, static_cast<size_t>(dst - buffer));
  return true;
}

std::optional<GbkText> Utf8ToGbk(std::string_view utf8) {
  iconv_t cd = ::iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  GbkText result;
  std::string& out = result.bytes;
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
      // An unconvertible or malformed sequence: one whole UTF-8 character
      // becomes '?', and is counted.
      out.push_back('?');
      size_t skip = 1;
      while (skip < in_left && (static_cast<uint8_t>(in[skip]) & 0xC0) == 0x80) ++skip;
      ++result.unmappable;
      if (result.firstUnmappable.size() < kUnmappableKept) {
        std::string character;
        AppendValidUtf8({reinterpret_cast<const uint8_t*>(in), skip}, character);
        result.firstUnmappable.push_back(std::move(character));
      }
      in += skip;
      in_left -= skip;
    }
  }
  ::iconv_close(cd);
  return result;
}

}  // namespace tollamer::platform
