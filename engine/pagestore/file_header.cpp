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

std::optional<uint32_t> FileSizeInPages(ByteView page) {
  if (page.LeOr<uint8_t>(kType) != static_cast<uint8_t>(PageType::kFileHeader)) return std::nullopt;
  std::optional<uint16_t> at = page.U16(SlotEntryOffset(0));
  if (!at || *at < kHeaderSize) return std::nullopt;
  ByteView record = page.From(*at);
  std::optional<uint16_t> columns = record.U16(kColumnCount);
  if (!columns) return std::nullopt;
  const size_t var_count_at = kNullBitmap + (size_t{*columns} + 7) / 8;
  std::optional<uint16_t> var_count = record.U16(var_count_at);
  if (!var_count || *var_count <= kSizeColumn) return std::nullopt;
  const size_t ends_at = var_count_at + 2;
  std::optional<uint16_t> start = record.U16(ends_at + 2 * (kSizeColumn - 1));
  std::optional<uint16_t> end = record.U16(ends_at + 2 * kSizeColumn);
  if (!start || !end || *end != *start + kSizeBytes) return std::nullopt;
  return record.U32(*start);
}

}  // namespace tollamer
