#include "engine/pagestore/file_header.h"

#include "engine/pagestore/page_layout.h"

namespace tollamer {

using namespace page_layout;

namespace {
constexpr size_t kColumnCount = 8;
constexpr size_t kNullBitmap = 10;
constexpr size_t kSizeColumn = 4;  // the fifth variable-length column, from 0
constexpr uint16_t kSizeBytes = 4;
}  // namespace

namespace {

constexpr size_t kBindingIdColumn = 0;

// Where variable-length column `column` of the header record lies: the
// record and [start, end) within it.
struct VariableColumn {
  ByteView record;
  uint16_t start = 0;
  uint16_t end = 0;
};

std::optional<VariableColumn> FindVariableColumn(ByteView page, size_t column) {
  if (page.LeOr<uint8_t>(kType) != static_cast<uint8_t>(PageType::kFileHeader)) return std::nullopt;
  std::optional<uint16_t> at = page.U16(SlotEntryOffset(0));
  if (!at || *at < kHeaderSize) return std::nullopt;
  ByteView record = page.From(*at);
  std::optional<uint16_t> columns = record.U16(kColumnCount);
  if (!columns) return std::nullopt;
  const size_t var_count_at = kNullBitmap + (size_t{*columns} + 7) / 8;
  std::optional<uint16_t> var_count = record.U16(var_count_at);
  if (!var_count || *var_count <= column) return std::nullopt;
  const size_t ends_at = var_count_at + 2;
  std::optional<uint16_t> start =
      column == 0 ? std::optional<uint16_t>(static_cast<uint16_t>(ends_at + 2 * *var_count))
                  : record.U16(ends_at + 2 * (column - 1));
  std::optional<uint16_t> end = record.U16(ends_at + 2 * column);
  if (!start || !end || *end < *start || !record.Contains(*start, *end - *start)) return std::nullopt;
  return VariableColumn{record, *start, *end};
}

}  // namespace

std::optional<uint32_t> FileSizeInPages(ByteView page) {
  std::optional<VariableColumn> c = FindVariableColumn(page, kSizeColumn);
  if (!c || c->end != c->start + kSizeBytes) return std::nullopt;
  return c->record.U32(c->start);
}

std::optional<BindingId> FileBindingId(ByteView page) {
  std::optional<VariableColumn> c = FindVariableColumn(page, kBindingIdColumn);
  BindingId id{};
  if (!c || size_t{c->end} - c->start != id.size()) return std::nullopt;
  for (size_t i = 0; i < id.size(); ++i) id[i] = c->record.LeOr<uint8_t>(c->start + i);
  return id;
}

}  // namespace tollamer
