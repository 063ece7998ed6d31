#include "tools/file_header_tags.h"

#include <cstdio>

#include "engine/pagestore/page_layout.h"
#include "platform/text.h"

namespace tollamer::tools {

std::string VersionTag(uint16_t n, uint16_t v) {
  if (n == 17 && v == 16) return "[MSSQL7.0]";
  if (n == 23 && v == 22) return "[MSSQL2000]";
  if (n == 45 && v == 44) return "[MSSQL2005]";
  if (n == 47 && v == 46) return "[MSSQL2008]";
  return "";
}

std::string SizeTag(uint32_t pages) {
  double kb = static_cast<double>(pages) * 8.0;
  char buf[64];
  if (kb < 1024)
    std::snprintf(buf, sizeof buf, "[大小:%.1fKB]", kb);
  else if (kb / 1024 < 1024)
    std::snprintf(buf, sizeof buf, "[大小:%.1fMB]", kb / 1024);
  else if (kb / 1024 / 1024 < 1024)
    std::snprintf(buf, sizeof buf, "[大小:%.1fGB]", kb / 1024 / 1024);
  else
    return "";
  return buf;
}

std::optional<std::string> ReadFileHeaderTags(ByteView page, HeaderReading mode) {
  const bool strict = mode == HeaderReading::kStrict;
  auto slot0 = page.U16(page_layout::SlotEntryOffset(0));
  if (!slot0) return std::nullopt;
  size_t r = *slot0;
  if (r > kMaxHeaderOffset) {
    if (strict) return std::nullopt;
    r = kDefaultRecordOffset;
  }
  auto n = page.U16(r + kHeaderColumnCount);
  if (!n) return strict ? std::nullopt : std::optional<std::string>("");
  if (strict && *n / 8 > kMaxColumnBytes) return std::nullopt;
  size_t bitmap = (size_t{*n} + 7) / 8;
  auto v = page.U16(r + kHeaderVarCountAfterBitmap + bitmap);
  std::string tags = v ? VersionTag(*n, *v) : "";
  auto e = page.U16(r + kHeaderFourthVarEndAfterBitmap + bitmap);
  if (!e) return strict ? std::nullopt : std::optional<std::string>(tags);
  if (strict && *e > kMaxHeaderOffset) return std::nullopt;
  auto pages = page.U32(r + *e);
  if (!pages) return strict ? std::nullopt : std::optional<std::string>(tags);
  return tags + SizeTag(*pages);
}

std::string ReadPathText(ByteView page) {
  ByteView text = page.From(kPathTextOffset);
  size_t chars = 0;
  while (chars < kPathTextMaxChars && text.Contains(chars * 2, 2) &&
         text.LeOr<uint16_t>(chars * 2) != 0)
    ++chars;
  // The name field is padded with blanks to its full width.
  while (chars > 0 && text.LeOr<uint16_t>((chars - 1) * 2) == ' ') --chars;
  return platform::Utf16LeToUtf8(text.span().subspan(0, chars * 2));
}

}  // namespace tollamer::tools
