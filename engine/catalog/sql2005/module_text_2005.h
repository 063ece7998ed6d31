// The definition texts of views, procedures and functions, from the
// imageval column of sysobjvalues. A long definition is stored as several
// rows; every row of the object is taken, whatever its value class or
// sequence number, and the pieces are joined in list order and slot order.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

// One row's piece of text. In-row bytes are read as 8-bit text up to the
// first zero byte, unless that stops more than 2 bytes short of the value:
// then they are UTF-16LE text up to the first zero unit. An off-row value
// (end offset bit 0x8000) is read through its pointer by the same rule,
// piece by piece. 8-bit text is in the database's code page. Nothing when
// the value would reach past the page.
std::optional<std::string> ReadModuleTextPiece(const PageStore& store, ByteView page,
                                               uint16_t offset, uint16_t code_page = 1252);

// The texts of the wanted objects, built in one pass over sysobjvalues.
class ModuleTextIndex2005 {
 public:
  static ModuleTextIndex2005 Build(const PageStore& store, const SystemPageList& sysobjvalues,
                                   const std::unordered_set<uint32_t>& wanted);
  // Empty when the object has no rows.
  std::string ReadModuleText2005(uint32_t object_id) const;

 private:
  std::unordered_map<uint32_t, std::string> texts_;
};

// The text of one object, walking the list.
std::string ReadModuleText2005(const PageStore& store, const SystemPageList& sysobjvalues,
                               uint32_t object_id);

}  // namespace tollamer::sql2005
