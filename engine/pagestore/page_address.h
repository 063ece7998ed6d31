// Pages of a database of several files are addressed by (file id, page id).
// The page store and everything above it carry the pair as one 64-bit page
// key: the pages of file 1 (the primary) keep their page ids as keys, page
// p of file N is ((N - 1) << 32) | p. Extent e of the key space is pages
// 8e to 8e + 7 of one file, as extent numbers are within a file.
//
// A page pointer on disk is 6 bytes: the 4-byte page id, then the 2-byte
// file id. A pointer with file id 0 and a page id is read as pointing into
// file 1, as files written before file ids were checked are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

inline constexpr uint16_t kFirstFileId = 1;

constexpr uint64_t PageKey(uint16_t file_id, uint32_t page_id) {
  return file_id <= kFirstFileId ? page_id : (uint64_t{file_id - 1u} << 32) | page_id;
}
constexpr uint16_t FileIdOfKey(uint64_t key) { return static_cast<uint16_t>((key >> 32) + 1); }
constexpr uint32_t PageIdOfKey(uint64_t key) { return static_cast<uint32_t>(key); }
// The first key of file `file_id`, and the first past it.
constexpr uint64_t FirstKeyOf(uint16_t file_id) { return PageKey(file_id, 0); }
constexpr uint64_t EndKeyOf(uint16_t file_id) { return uint64_t{file_id} << 32; }

// The key a 6-byte page pointer at `offset` names; nothing when it does not
// fit in `bytes`. A pointer to page 0 of any file gives key 0 ("no page").
inline std::optional<uint64_t> PointerKey(ByteView bytes, size_t offset) {
  std::optional<uint32_t> page = bytes.U32(offset);
  std::optional<uint16_t> file = bytes.U16(offset + 4);
  if (!page || !file) return std::nullopt;
  return *page == 0 ? 0 : PageKey(*file, *page);
}

// "3:120" for page 120 of file 3, "120" for a page of file 1.
inline std::string PageKeyText(uint64_t key) {
  const std::string page = std::to_string(PageIdOfKey(key));
  return FileIdOfKey(key) == kFirstFileId ? page : std::to_string(FileIdOfKey(key)) + ":" + page;
}

}  // namespace tollamer
