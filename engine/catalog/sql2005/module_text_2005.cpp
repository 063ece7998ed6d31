#include "engine/catalog/sql2005/module_text_2005.h"

#include <cstring>

#include "engine/catalog/collation.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/values/large_values.h"
#include "platform/text.h"

namespace tollamer::sql2005 {

using page_layout::kPageSize;

namespace {

std::string InRowText(ByteView value, uint16_t code_page) {
  size_t narrow = 0;
  while (narrow < value.size() && value.LeOr<uint8_t>(narrow) != 0) ++narrow;
  if (value.size() - narrow <= 2) return platform::CodePageToUtf8(value.span().first(narrow), code_page);
  size_t units = value.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    if (value.LeOr<uint16_t>(2 * i) == 0) {
      units = i;
      break;
    }
  }
  return platform::Utf16LeToUtf8(value.span().first(2 * units));
}

}  // namespace

std::optional<std::string> ReadModuleTextPiece(const PageStore& store, ByteView page,
                                               uint16_t offset, uint16_t code_page) {
  std::optional<ObjValueRow> row = DecodeObjValueRow(page, offset);
  if (!row) return std::nullopt;
  if (size_t{row->valueLength} + offset >= kPageSize) return std::nullopt;
  std::optional<ByteView> value =
      page.Slice(size_t{offset} + row->valueStart, row->valueLength);
  if (!value) return std::nullopt;
  if (!row->offRow) return InRowText(*value, code_page);
  std::string text;
  ReadOverflowValue(store, *value, kOverflowModuleText, text, code_page);
  return text;
}

ModuleTextIndex2005 ModuleTextIndex2005::Build(const PageStore& store,
                                               const SystemPageList& sysobjvalues,
                                               const std::unordered_set<uint32_t>& wanted) {
  ModuleTextIndex2005 index;
  if (wanted.empty()) return index;
  const uint16_t code_page = DatabaseCodePage(store);
  ForEachSystemRow(store, sysobjvalues, ModuleTextSlot, [&](ByteView page, uint16_t offset) {
    std::optional<ObjValueRow> row = DecodeObjValueRow(page, offset);
    if (!row || !wanted.contains(row->objId)) return true;
    if (std::optional<std::string> piece = ReadModuleTextPiece(store, page, offset, code_page))
      index.texts_[row->objId] += *piece;
    return true;
  });
  return index;
}

std::string ModuleTextIndex2005::ReadModuleText2005(uint32_t object_id) const {
  auto it = texts_.find(object_id);
  return it == texts_.end() ? std::string() : it->second;
}

std::string ReadModuleText2005(const PageStore& store, const SystemPageList& sysobjvalues,
                               uint32_t object_id) {
  return ModuleTextIndex2005::Build(store, sysobjvalues, {object_id}).ReadModuleText2005(object_id);
}

}  // namespace tollamer::sql2005
