#include "engine/rows/compressed_row.h"

#include "engine/pagestore/page_layout.h"
#include "engine/rows/cd_record_layout.h"
#include "engine/rows/compressed_record.h"
#include "engine/rows/compressed_value.h"

namespace tollamer {

using namespace cd_layout;

namespace {

// One value per column through `expand`; `not_stored` for the columns the
// record does not store.
template <typename Value, typename Expand>
std::optional<std::vector<Value>> DecodeRecord(ByteView page, size_t record_offset,
                                               const std::map<uint16_t, ColumnInfo>& columns,
                                               const AnchorEntries& anchor,
                                               const DictionaryEntries& dictionary,
                                               const PageStore& store, const RecordTraits& traits,
                                               EngineMessages& messages,
                                               const Value& not_stored, Expand expand) {
  if (record_offset >= page_layout::kPageSize) return std::nullopt;
  const auto record = CdRecord::Open(page, record_offset);
  if (!record || record->Header() > kMaxHeader) return std::nullopt;
  const auto long_region = CheckedLongRegion(*record, messages);

  // One CD entry more than the table has columns: the first is not a
  // table column.
  const uint32_t stored = record->ColumnCount();
  const uint32_t skipped = stored == columns.size() + 1 ? 1 : 0;

  const CompressedPageContext context{page, record_offset, dictionary, store, traits};
  std::vector<Value> row;
  row.reserve(columns.size());
  uint32_t position = 0;
  for (const auto& [colid, column] : columns) {
    const uint32_t cd_index = position + skipped;
    const auto anchor_entry = anchor.find(position);
    ++position;
    if (cd_index >= stored) {
      row.push_back(not_stored);
      continue;
    }
    const auto code = record->Code(cd_index);
    const auto location = code ? record->Locate(cd_index, long_region) : std::nullopt;
    if (!location) return std::nullopt;
    const size_t end = record_offset + location->dataOffset +
                       static_cast<size_t>(location->lengthField & kLengthCountMask);
    if (end > page_layout::kPageSize) return std::nullopt;
    row.push_back(expand(context, *code, *location, column,
                         anchor_entry == anchor.end() ? nullptr : &anchor_entry->second));
  }
  return row;
}

}  // namespace

std::optional<std::vector<TypedValue>> DecodeCompressedTyped(
    ByteView page, size_t record_offset, const std::map<uint16_t, ColumnInfo>& columns,
    const AnchorEntries& anchor, const DictionaryEntries& dictionary, const PageStore& store,
    const RecordTraits& traits, EngineMessages& messages) {
  return DecodeRecord(page, record_offset, columns, anchor, dictionary, store, traits, messages,
                      TypedValue::Null(), ExpandCompressedTyped);
}

}  // namespace tollamer
