#include "engine/catalog/name_match.h"

#include <array>
#include <cstdint>
#include <functional>

#include "platform/text.h"

namespace tollamer {

namespace {

// One code point from UTF-8 at `at`, advancing it; a byte that does not
// start a well-formed sequence is taken as itself.
uint32_t NextCodePoint(std::string_view s, size_t& at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(at);
  const size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (extra == 0 || at + extra >= s.size()) {
    ++at;
    return b;
  }
  uint32_t cp = b & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) {
      ++at;
      return b;
    }
    cp = (cp << 6) | (byte(at + k) & 0x3F);
  }
  at += extra + 1;
  return cp;
}

uint32_t LowerCodePoint(uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;  // Latin-1
  // Latin Extended-A and Latin Extended Additional: capital, small in turn.
  if (((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177) ||
       (cp >= 0x1E00 && cp <= 0x1EFF)) && cp % 2 == 0)
    return cp + 1;
  if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 0x20;  // Greek
  if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;                  // Cyrillic
  if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
  return cp;
}

std::string WithoutBlanks(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != ' ') out.push_back(c);
  return out;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t start = at;
    const uint32_t cp = NextCodePoint(text, at);
    const uint32_t lower = LowerCodePoint(cp);
    if (lower == cp)
      out.append(text.substr(start, at - start));
    else
      platform::AppendCodePointUtf8(out, lower);
  }
  return out;
}

std::string Unbracketed(std::string_view given) {
  if (given.find('[') == std::string_view::npos) return std::string(given);
  std::string out;
  size_t at = 0;
  while (at < given.size()) {
    if (given[at] == '[') {
      ++at;
      while (at < given.size()) {
        if (given[at] == ']') {
          if (at + 1 < given.size() && given[at + 1] == ']') {
            out.push_back(']');
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        out.push_back(given[at++]);
      }
    } else {
      out.push_back(given[at++]);
    }
  }
  return out;
}

std::string_view OwnerOf(std::string_view full_name) {
  const size_t dot = full_name.find('.');
  return dot == std::string_view::npos ? std::string_view() : full_name.substr(0, dot);
}

std::string_view NameWithoutOwner(std::string_view full_name) {
  const size_t dot = full_name.find('.');
  return dot == std::string_view::npos ? full_name : full_name.substr(dot + 1);
}

std::vector<size_t> MatchObjectName(const std::vector<std::string>& full_names,
                                    std::string_view given_text) {
  const std::string given = Unbracketed(given_text);
  using Key = std::function<std::string(std::string_view)>;
  const Key exact = [](std::string_view s) { return std::string(s); };
  const Key folded = [](std::string_view s) { return FoldCase(s); };
  const Key loose = [](std::string_view s) { return FoldCase(WithoutBlanks(s)); };
  const std::array<Key, 3> keys{exact, folded, loose};
  for (const Key& key : keys) {
    const std::string wanted = key(given);
    const std::string wanted_name = key(NameWithoutOwner(given));
    for (bool whole : {true, false}) {
      std::vector<size_t> found;
      for (size_t k = 0; k < full_names.size(); ++k) {
        const std::string_view full = full_names[k];
        if (whole) {
          // An object kept without its owner (procedures, user types) also
          // answers owner.name.
          const bool ownerless = full.find('.') == std::string_view::npos;
          if (key(full) == wanted || (ownerless && key(full) == wanted_name)) found.push_back(k);
        } else if (key(NameWithoutOwner(full)) == wanted) {
          found.push_back(k);
        }
      }
      if (!found.empty()) return found;
    }
  }
  return {};
}

}  // namespace tollamer
