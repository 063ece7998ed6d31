#include "engine/rows/compressed_record.h"

#include "engine/rows/cd_record_layout.h"

namespace tollamer {

using namespace cd_layout;

bool CdLocation::Complex() const { return (lengthField & kLengthComplexFlag) != 0; }

size_t CdLocation::ByteCount() const {
  const int32_t count = (lengthField & kLengthCountMask) - 1;
  return count > 0 ? static_cast<size_t>(count) : 0;
}

size_t CdShortBytes(uint8_t code) {
  if (code >= kCodeShortFirst && code <= kCodeShortLast) return code - 1u;
  if (code == kCodePageSymbol) return 1;
  return 0;
}

std::optional<CdRecord> CdRecord::Open(ByteView page, size_t record_offset) {
  const ByteView record = page.From(record_offset);
  const auto header = record.U8(kHeader);
  const auto first = record.U8(kColumnCount);
  if (!header || !first) return std::nullopt;
  if (*first < kTwoByteCountFlag) return CdRecord(record, *header, *first, 1);
  const auto second = record.U8(kColumnCount + 1);
  if (!second) return std::nullopt;
  const uint32_t count = (static_cast<uint32_t>(*first & kTwoByteCountHighMask) << 8) | *second;
  if (count > kMaxColumns) return std::nullopt;
  return CdRecord(record, *header, count, 2);
}

bool CdRecord::HasLongRegion() const { return (header_ & kHeaderLongRegion) != 0; }

size_t CdRecord::CdArrayOffset() const { return kColumnCount + count_size_; }

size_t CdRecord::ClusterArrayOffset() const {
  return CdArrayOffset() + (column_count_ + 1) / 2;
}

size_t CdRecord::ClusterCount() const {
  return column_count_ == 0 ? 0 : (column_count_ - 1) / kClusterColumns;
}

size_t CdRecord::ShortDataBase() const { return ClusterArrayOffset() + ClusterCount(); }

std::optional<uint8_t> CdRecord::Code(uint32_t column) const {
  if (column >= column_count_) return std::nullopt;
  const auto byte = record_.U8(CdArrayOffset() + column / 2);
  if (!byte) return std::nullopt;
  return static_cast<uint8_t>(column % 2 == 0 ? (*byte & 0x0F) : (*byte >> 4));
}

std::optional<CdLocation> CdRecord::LocateShort(uint32_t column) const {
  const auto code = Code(column);
  if (!code) return std::nullopt;
  const uint32_t cluster = column / kClusterColumns;
  size_t offset = ShortDataBase();
  for (uint32_t c = 0; c < cluster; ++c) {
    const auto bytes = record_.U8(ClusterArrayOffset() + c);
    if (!bytes) return std::nullopt;
    offset += *bytes;
  }
  for (uint32_t j = cluster * kClusterColumns; j < column; ++j) {
    const auto before = Code(j);
    if (!before) return std::nullopt;
    offset += CdShortBytes(*before);
  }
  // The length field is the byte count + 1; a NULL has none at all.
  const int32_t field = *code == kCodeNull ? 0 : static_cast<int32_t>(CdShortBytes(*code)) + 1;
  return CdLocation{offset, field};
}

std::optional<size_t> CdRecord::LocateLongRegion() const {
  size_t offset = ShortDataBase();
  for (uint32_t j = 0; j < column_count_; ++j) {
    const auto code = Code(j);
    if (!code) return std::nullopt;
    offset += CdShortBytes(*code);
  }
  if (offset >= record_.size()) return std::nullopt;
  return offset;
}

std::optional<CdLocation> CdRecord::LocateLong(uint32_t column, size_t long_region) const {
  const auto count = record_.U16(long_region + kLongCount);
  if (!count) return std::nullopt;
  const size_t ends = long_region + kLongEndOffsets;
  const size_t per_cluster = ends + 2 * size_t{*count};
  const uint32_t cluster = column / kClusterColumns;

  size_t k = 0;
  for (uint32_t c = 0; c < cluster; ++c) {
    const auto in_cluster = record_.U8(per_cluster + c);
    if (!in_cluster) return std::nullopt;
    k += *in_cluster;
  }
  for (uint32_t j = cluster * kClusterColumns; j < column; ++j) {
    const auto before = Code(j);
    if (!before) return std::nullopt;
    if (*before == kCodeLong) ++k;
  }
  // A value beyond the end-offset array would take its bounds from
  // whatever follows the array.
  if (k >= *count) return std::nullopt;

  const auto end = record_.U16(ends + 2 * k);
  const auto start = k == 0 ? std::optional<uint16_t>(0) : record_.U16(ends + 2 * (k - 1));
  if (!end || !start) return std::nullopt;
  // The complex flag belongs to each end offset alone; positions are the
  // low 15 bits, so a complex neighbour does not shift this value.
  const int32_t end_pos = *end & kLongOffsetMask;
  const int32_t start_pos = *start & kLongOffsetMask;
  if (end_pos < start_pos) return std::nullopt;
  const int32_t count_plus_one = end_pos - start_pos + 1;
  if (count_plus_one > kLengthCountMask) return std::nullopt;
  const int32_t field =
      count_plus_one | ((*end & kLongComplexFlag) != 0 ? kLengthComplexFlag : 0);
  const size_t data = per_cluster + ClusterCount() + static_cast<size_t>(start_pos);
  return CdLocation{data, field};
}

std::optional<CdLocation> CdRecord::Locate(uint32_t column,
                                           std::optional<size_t> long_region) const {
  const auto code = Code(column);
  if (!code) return std::nullopt;
  if (*code != kCodeLong) return LocateShort(column);
  if (!long_region) return std::nullopt;
  return LocateLong(column, *long_region);
}

std::optional<size_t> CheckedLongRegion(const CdRecord& record, EngineMessages& messages) {
  const auto region = record.LocateLongRegion();
  if (record.HasLongRegion()) {
    const auto header = region ? record.Bytes().U8(*region + kLongHeader) : std::nullopt;
    if (!header || *header > kLongHeaderMax) messages.Notify(EngineNotice::kLongRegionMissing);
  }
  return region;
}

}  // namespace tollamer
