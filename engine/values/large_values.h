// Readers of values kept outside the data row: text/ntext/image values
// through their 16-byte text pointer, and the off-row values of complex
// columns (varchar(max), nvarchar(max), varbinary(max), xml) of SQL
// 2005/2008 files through their in-row pointer. Layouts in lob_layout.h.
//
// Each reader appends to `value`; a value whose pages or records cannot be
// found stays as far as it was built. No reader leaves the page it reads,
// and a tree whose links loop or that is deeper than the format allows ends
// that branch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/page_store.h"
#include "engine/values/value_types.h"

namespace tollamer {

// Module definitions (sysobjvalues) for ReadOverflowValue: no column type,
// so an id no type uses.
inline constexpr uint8_t kOverflowModuleText = 0;

// Appends the value named by the in-row pointer of a complex column (all of
// the column's in-row bytes). `type_id` 167 appends the 8-bit bytes as
// stored (each piece up to its first zero byte), for the caller to read in
// the column's code page; 231 converts UTF-16 text; kOverflowModuleText
// converts pieces that are UTF-16 and reads the others in `code_page`; any
// other id (165 varbinary, xml, CLR types) appends the bytes as stored.
// False when a part of the value could not be read (or lies on a page that
// fails its check, or on a page that is no text page).
bool ReadOverflowValue(const PageStore& store, ByteView in_row_pointer, uint8_t type_id,
                       std::string& value, uint16_t code_page = 0);

// What a format accepts while it follows a text/ntext/image tree. SQL 7.0
// and 2000 read any page the tree names; SQL 2005 and later read only pages
// inside their file with a sound header (header version 1, the file id the
// link names, zero reserved bytes, a known page type). The two formats also bound slots and
// record offsets differently.
struct TextTreeRules {
  bool screenPages = false;
  uint16_t minNodeOffset = 0;     // a root or node record starts here or later
  uint16_t maxFragmentSlot = 0;   // the highest slot of a data fragment
  uint16_t minFragmentOffset = 0; // a data fragment's record starts here or later
};

inline constexpr TextTreeRules kTextTree2000{false, 4, 4096, page_layout::kHeaderSize};
inline constexpr TextTreeRules kTextTree2005{true, 0, 4095, 4};

// Appends the value whose record is (page_id, slot_id), read by `rules`.
// `root` is true for the record a text pointer names; `unicode` converts
// ntext data from UTF-16. False when a part of the value could not be read
// (or lies on a page that fails its check, or on a page that is no text
// page); a NULL value is read whole.
bool ReadTextValue(const PageStore& store, const TextTreeRules& rules, uint32_t page_id,
                   uint16_t slot_id, uint16_t file_id, std::string& value, bool root,
                   bool unicode);

// The data of one data fragment, or nothing when the fragment cannot be
// located within its page or its page is no text page.
std::optional<std::vector<uint8_t>> ReadTextFragment(const PageStore& store,
                                                     const TextTreeRules& rules,
                                                     uint32_t page_id, uint16_t slot_id,
                                                     uint16_t file_id);

// The page, slot and file a 16-byte text pointer names; nothing when the
// bytes are too short.
struct TextPointer {
  uint32_t pageId = 0;
  uint16_t fileId = 0;
  uint16_t slotId = 0;
};
std::optional<TextPointer> DecodeTextPointer(ByteView bytes);

}  // namespace tollamer
