// What a fragment's page 0 and page 32 tell about the data file they belong
// to: the server version and the file size from the file header page, and
// the file's own path from page 32.
//
// File header page (page 0, after torn-bit repair), record of slot 0 at r:
//   RECORD OFFSET    SIZE  FIELD
//   8                2     N, the number of columns
//   10               B     null bitmap, B = ceil(N / 8)
//   10 + B           2     V, the number of variable-length columns
//   12 + B           2*V   end offsets of the variable-length columns
//   18 + B           2     e, the end of the fourth variable column
//   e                4     the file size in pages (start of the fifth)
// The column counts name the server: 17/16 7.0, 23/22 2000, 45/44 2005,
// 47/46 2008.
//
// Page 32: the file's path, UTF-16, at page offset 362, at most 260
// characters up to a terminating zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_layout.h"

namespace tollamer::tools {

inline constexpr size_t kHeaderColumnCount = 8;
inline constexpr size_t kHeaderNullBitmap = 10;
inline constexpr size_t kHeaderVarCountAfterBitmap = 10;
inline constexpr size_t kHeaderFourthVarEndAfterBitmap = 18;
inline constexpr size_t kDefaultRecordOffset = page_layout::kHeaderSize;
inline constexpr size_t kMaxHeaderOffset = page_layout::kPageSize;
inline constexpr uint16_t kMaxColumnBytes = 100;  // N / 8 above this rejects the page
inline constexpr uint32_t kPathTextPage = 32;
inline constexpr size_t kPathTextOffset = 362;
inline constexpr size_t kPathTextMaxChars = 260;

enum class HeaderReading {
  kStrict,   // plain search: damaged offsets reject the page
  kLenient,  // free-cluster search: a bad slot offset becomes 96, nothing rejects
};

// The version tag followed by the size tag ("[MSSQL2000][大小:1.2MB]"), or
// nothing when the page is rejected.
std::optional<std::string> ReadFileHeaderTags(ByteView page, HeaderReading mode);

// "[MSSQL2000]" for the column counts of a file header record, or "".
std::string VersionTag(uint16_t columns, uint16_t variable_columns);
// "[大小:%.1fKB]" / MB / GB for a file of `pages` pages, "" from 1024 GB on.
std::string SizeTag(uint32_t pages);

// The path text of page 32 (converted to UTF-8), without the blanks that pad it.
std::string ReadPathText(ByteView page);

}  // namespace tollamer::tools
