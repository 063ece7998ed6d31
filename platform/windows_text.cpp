// Code page conversion through MultiByteToWideChar and WideCharToMultiByte,
// giving the UTF-8 that iconv gives on POSIX: a byte or pair the code page
// leaves undefined is one U+FFFD and the reading goes on at the next byte;
// 1258's base letters and tone marks are composed (NFC) as iconv composes them.
#include <windows.h>

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "platform/code_pages.h"
#include "platform/text.h"
#include "platform/windows_paths.h"

namespace tollamer::platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr uint16_t kCodePageVietnamese = 1258;
constexpr uint16_t kCodePageGbk = 936;

// The code page's character for each single byte, U+FFFD where it has none:
// an error, a C1 control standing for itself (a hole the system fills with
// the byte's own value), or a private-use character (another way to fill one).
using ByteTable = std::array<wchar_t, 256>;

ByteTable MakeByteTable(uint16_t code_page) {
  ByteTable table{};
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t unit[2] = {};
    const int n = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, &byte, 1, unit, 2);
    wchar_t c = n == 1 ? unit[0] : kReplacement;
    if ((b >= 0x80 && b < 0xA0 && c == static_cast<wchar_t>(b)) || (c >= 0xE000 && c <= 0xF8FF))
      c = kReplacement;
    table[static_cast<size_t>(b)] = c;
  }
  return table;
}

struct Converter {
  uint16_t codePage = 0;
  bool available = false;
  bool doubleByte = false;
  ByteTable bytes{};
};

// One converter per code page and thread, as the POSIX side keeps them.
const Converter& ConverterFor(uint16_t code_page) {
  thread_local std::vector<Converter> made;
  for (const Converter& c : made)
    if (c.codePage == code_page) return c;
  Converter c;
  c.codePage = code_page;
  CPINFO info{};
  // 0 to 3 name the system's own code pages, 42 symbols, 65000 UTF-7: none
  // is a code page a collation names.
  c.available = code_page > 3 && code_page != 42 && code_page != 65000 &&
                ::IsValidCodePage(code_page) && ::GetCPInfo(code_page, &info);
  c.doubleByte = c.available && info.MaxCharSize == 2;
  if (c.available) c.bytes = MakeByteTable(code_page);
  made.push_back(c);
  return made.back();
}

void AppendUnits(const std::wstring& units, std::string& out) {
  AppendUtf16LeAsUtf8({reinterpret_cast<const uint8_t*>(units.data()), units.size() * 2}, out);
}

// A double-byte code page, one character at a time: a lead byte and its
// trail as a pair, any other byte alone.
void DecodeDoubleByte(const Converter& c, std::span<const uint8_t> bytes, std::wstring& units) {
  size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t b = bytes[i];
    if (b < 0x80 || !::IsDBCSLeadByteEx(c.codePage, b)) {
      units.push_back(c.bytes[b]);
      ++i;
      continue;
    }
    wchar_t unit[2] = {};
    const int n = i + 1 < bytes.size()
                      ? ::MultiByteToWideChar(c.codePage, MB_ERR_INVALID_CHARS,
                                              reinterpret_cast<const char*>(bytes.data() + i), 2,
                                              unit, 2)
                      : 0;
    if (n == 1 && !(unit[0] >= 0xE000 && unit[0] <= 0xF8FF)) {
      units.push_back(unit[0]);
      i += 2;
    } else {
      units.push_back(kReplacement);  // undefined, or cut off at the end
      ++i;
    }
  }
}

std::wstring Composed(const std::wstring& units) {
  const int n = ::NormalizeString(NormalizationC, units.data(), static_cast<int>(units.size()),
                                  nullptr, 0);
  if (n <= 0) return units;
  std::wstring out(static_cast<size_t>(n), L'\0');
  const int written = ::NormalizeString(NormalizationC, units.data(), static_cast<int>(units.size()),
                                        out.data(), n);
  if (written <= 0) return units;
  out.resize(static_cast<size_t>(written));
  return out;
}

}  // namespace

bool SystemHasCodePage(uint16_t code_page) { return ConverterFor(code_page).available; }

bool AppendSystemCodePage(std::span<const uint8_t> bytes, uint16_t code_page, std::string& out) {
  const Converter& c = ConverterFor(code_page);
  if (!c.available) return false;
  std::wstring units;
  units.reserve(bytes.size());
  if (c.doubleByte) {
    DecodeDoubleByte(c, bytes, units);
  } else {
    for (uint8_t b : bytes) units.push_back(c.bytes[b]);
  }
  AppendUnits(code_page == kCodePageVietnamese ? Composed(units) : units, out);
  return true;
}

std::optional<GbkText> Utf8ToGbk(std::string_view utf8) {
  GbkText result;
  result.bytes.reserve(utf8.size());
  const auto* in = reinterpret_cast<const uint8_t*>(utf8.data());
  size_t i = 0;
  while (i < utf8.size()) {
    if (in[i] < 0x80) {
      result.bytes.push_back(static_cast<char>(in[i++]));
      continue;
    }
    // One UTF-8 character (or one ill-formed run up to the next lead byte).
    size_t n = 1;
    while (i + n < utf8.size() && (in[i + n] & 0xC0) == 0x80) ++n;
    const std::string_view character = utf8.substr(i, n);
    const std::wstring wide = IsValidUtf8(character) ? WideFromUtf8(character) : std::wstring();
    char gbk[8];
    BOOL defaulted = FALSE;
    const int put = wide.empty() ? 0
                                 : ::WideCharToMultiByte(kCodePageGbk, WC_NO_BEST_FIT_CHARS,
                                                         wide.data(), static_cast<int>(wide.size()),
                                                         gbk, sizeof gbk, nullptr, &defaulted);
    if (put > 0 && !defaulted) {
      result.bytes.append(gbk, static_cast<size_t>(put));
    } else {
      result.bytes.push_back('?');
      ++result.unmappable;
      if (result.firstUnmappable.size() < kUnmappableKept) {
        std::string kept;
        AppendValidUtf8({in + i, n}, kept);
        result.firstUnmappable.push_back(std::move(kept));
      }
    }
    i += n;
  }
  return result;
}

}  // namespace tollamer::platform
