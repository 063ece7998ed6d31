#include "engine/pagestore/backup_set.h"

#include <cstdio>
#include <cstring>

#include "engine/pagestore/page_layout.h"
#include "platform/text.h"

namespace tollamer {

namespace {

constexpr size_t kSsetAttributes = 0x34;
constexpr size_t kSsetNumber = 0x3E;
constexpr size_t kSsetWriteDate = 0x58;
constexpr size_t kPackedDateSize = 5;

constexpr uint32_t kAttrCopy = 0x02;
constexpr uint32_t kAttrNormal = 0x04;
constexpr uint32_t kAttrDifferential = 0x08;
constexpr uint32_t kAttrIncremental = 0x10;

constexpr size_t kBootDbName = page_layout::kHeaderSize + 52;
constexpr size_t kBootDbNameBytes = 256;

std::optional<BackupDate> UnpackDate(ByteView packed) {
  uint64_t v = 0;
  for (size_t i = 0; i < kPackedDateSize; ++i) v = (v << 8) | packed.LeOr<uint8_t>(i);
  BackupDate d;
  d.year = static_cast<uint16_t>(v >> 26);
  d.month = static_cast<uint8_t>((v >> 22) & 0x0F);
  d.day = static_cast<uint8_t>((v >> 17) & 0x1F);
  d.hour = static_cast<uint8_t>((v >> 12) & 0x1F);
  d.minute = static_cast<uint8_t>((v >> 6) & 0x3F);
  d.second = static_cast<uint8_t>(v & 0x3F);
  if (d.year == 0 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 ||
      d.minute > 59 || d.second > 59)
    return std::nullopt;
  return d;
}

}  // namespace

std::optional<BackupSetHeader> DecodeSsetBlock(ByteView block) {
  if (!block.Contains(0, kSsetWriteDate + kPackedDateSize) ||
      std::memcmp(block.data(), kSsetMagic, sizeof kSsetMagic) != 0)
    return std::nullopt;
  BackupSetHeader h;
  h.number = block.LeOr<uint16_t>(kSsetNumber);
  if (h.number == 0) return std::nullopt;
  const uint32_t attributes = block.LeOr<uint32_t>(kSsetAttributes);
  h.copyOnly = (attributes & kAttrCopy) != 0;
  if (attributes & kAttrNormal) h.type = BackupSetType::kFull;
  else if (attributes & kAttrDifferential) h.type = BackupSetType::kDifferential;
  else if (attributes & kAttrIncremental) h.type = BackupSetType::kLog;
  h.written = UnpackDate(block.From(kSsetWriteDate));
  return h;
}

const char* BackupSetTypeName(BackupSetType type) {
  switch (type) {
    case BackupSetType::kFull: return "full";
    case BackupSetType::kDifferential: return "differential";
    case BackupSetType::kLog: return "log";
    case BackupSetType::kUnknown: break;
  }
  return "unknown";
}

std::string FormatBackupDate(const std::optional<BackupDate>& d) {
  if (!d) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", d->year, d->month, d->day,
                d->hour, d->minute, d->second);
  return text;
}

std::optional<std::string> BootPageDatabaseName(ByteView boot_page) {
  std::optional<ByteView> raw = boot_page.Slice(kBootDbName, kBootDbNameBytes);
  if (!raw) return std::nullopt;
  // The field is padded with 0x20 bytes (read as UTF-16: U+2020), blanks
  // or zeros.
  size_t length = raw->size();
  while (length >= 2) {
    const uint16_t unit = raw->LeOr<uint16_t>(length - 2);
    if (unit != 0x2020 && unit != 0x0020 && unit != 0) break;
    length -= 2;
  }
  if (length == 0) return std::nullopt;
  return platform::Utf16LeToUtf8(raw->span().first(length));
}

}  // namespace tollamer
