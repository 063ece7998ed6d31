// text, ntext and image values through their 16-byte text pointer.
#include <array>
#include <string>

#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_layout.h"
#include "engine/values/large_values.h"
#include "engine/values/lob_layout.h"
#include "engine/values/lob_record.h"

namespace tollamer {
namespace {

using namespace lob_layout;
using page_layout::kHeaderSize;
using page_layout::kPageSize;

// Record offsets of large-value records lie below this.
constexpr uint32_t kRecordOffsetLimit = 0x2000;
constexpr uint16_t kMinRecordOffset = 4;
// A SQL 2000 fragment: slot below 4097, data ending before byte 8179.
constexpr uint16_t kMaxFragmentSlot2000 = 4096;
constexpr size_t kFragmentDataLimit2000 = 8179;

enum class TextVersion { k2000, k2005 };

// Page types a SQL 2005/2008 text value may be read from.
bool KnownPageType(uint8_t type) {
  static constexpr std::array<uint8_t, 12> kTypes = {1, 2, 3, 4, 8, 9, 10, 11, 13, 15, 16, 17};
  for (uint8_t t : kTypes)
    if (t == type) return true;
  return false;
}

// A page of a SQL 2005/2008 file is read only when its header is sound.
bool AcceptablePage2005(const Page& page) {
  std::optional<PageHeader> h = PageHeader::Decode(page.view());
  return h && h->headerVersion == page_layout::kValidHeaderVersion &&
         h->fileId == kPrimaryFileId && h->reservedZero && KnownPageType(h->type);
}

bool InsideFile(const PageStore& store, uint32_t page_id) {
  return uint64_t{page_id} * kPageSize < store.FileLength();
}

struct Link {
  uint32_t page;
  uint16_t file;
  uint16_t slot;
};

std::optional<Link> ReadLink(ByteView record, bool root, size_t i) {
  const size_t at = root ? kRootLinks + i * kRootLinkSize : kNodeLinks + i * kNodeLinkSize;
  std::optional<ByteView> link = record.Slice(at, root ? kRootLinkSize : kNodeLinkSize);
  if (!link) return std::nullopt;
  if (root)
    return Link{link->LeOr<uint32_t>(kRootLinkPage), link->LeOr<uint16_t>(kRootLinkFile),
                link->LeOr<uint16_t>(kRootLinkSlot)};
  return Link{link->LeOr<uint32_t>(kNodeLinkPage), link->LeOr<uint16_t>(kNodeLinkFile),
              link->LeOr<uint16_t>(kNodeLinkSlot)};
}

class TextWalk {
 public:
  TextWalk(const PageStore& store, TextVersion version, bool unicode, std::string& value)
      : store_(store), version_(version), unicode_(unicode), value_(value) {}

  // `depth` 0 is the record the text pointer names.
  void Read(uint32_t page_id, uint16_t slot_id, bool root, int depth) {
    if (depth > kMaxTextLevel || !visits_.First(page_id, slot_id)) return;
    if (version_ == TextVersion::k2005 && !InsideFile(store_, page_id)) return;
    std::optional<LobRecord> record = LocateLobRecord(store_, page_id, slot_id);
    if (!record) return;
    if (version_ == TextVersion::k2005 && !AcceptablePage2005(record->page))
      return;
    const uint16_t offset = record->offset;
    if (version_ == TextVersion::k2000 && offset < kMinRecordOffset) return;
    if (offset >= kRecordOffsetLimit) return;

    ByteView rec = record->Bytes();
    const uint16_t type = rec.LeOr<uint16_t>(kRecordType);
    const uint16_t links = rec.LeOr<uint16_t>(kLinkCount);
    const uint16_t level = rec.LeOr<uint16_t>(kNodeLevel);
    if (level > kMaxTextLevel) return;
    if (uint32_t{offset} + 16u * links >= kRecordOffsetLimit) return;
    if (type == kTypeNull) return;

    if (type == kTypeSmallRoot) {
      const uint16_t length = rec.LeOr<uint16_t>(kSmallRootLength);
      if (std::optional<ByteView> data = rec.Slice(kSmallRootData, length))
        AppendLobData(*data, unicode_, value_);
      return;
    }
    if (root && offset < kHeaderSize) return;

    for (size_t i = 0; i < links; ++i) {
      std::optional<Link> link = ReadLink(rec, root, i);
      if (!link) return;
      if (level >= 1) {
        // A node can only point at nodes of a lower level.
        Read(link->page, link->slot, false, depth + 1);
      } else {
        std::optional<std::vector<uint8_t>> fragment =
            version_ == TextVersion::k2000
                ? ReadTextFragment2000(store_, link->page, link->slot, link->file)
                : ReadTextFragment2005(store_, link->page, link->slot, link->file);
        if (fragment) AppendLobData(*fragment, unicode_, value_);
      }
    }
  }

 private:
  const PageStore& store_;
  TextVersion version_;
  bool unicode_;
  std::string& value_;
  LobVisits visits_;
};

std::optional<std::vector<uint8_t>> Copy(ByteView data) {
  return std::vector<uint8_t>(data.data(), data.data() + data.size());
}

}  // namespace

std::optional<TextPointer> DecodeTextPointer(ByteView bytes) {
  if (!bytes.Contains(0, kTextPointerSize)) return std::nullopt;
  return TextPointer{bytes.LeOr<uint32_t>(kTextPointerPageId),
                     bytes.LeOr<uint16_t>(kTextPointerFileId),
                     bytes.LeOr<uint16_t>(kTextPointerSlotId)};
}

void ReadTextValue2000(const PageStore& store, uint32_t page_id, uint16_t slot_id,
                       uint16_t file_id, std::string& value, bool root, bool unicode) {
  (void)file_id;  // only the primary file is read
  TextWalk(store, TextVersion::k2000, unicode, value).Read(page_id, slot_id, root, 0);
}

void ReadTextValue2005(const PageStore& store, uint32_t page_id, uint16_t slot_id,
                       uint16_t file_id, std::string& value, bool root, bool unicode) {
  (void)file_id;
  TextWalk(store, TextVersion::k2005, unicode, value).Read(page_id, slot_id, root, 0);
}

std::optional<std::vector<uint8_t>> ReadTextFragment2000(const PageStore& store,
                                                         uint32_t page_id, uint16_t slot_id,
                                                         uint16_t file_id) {
  if (slot_id > kMaxFragmentSlot2000 || file_id != kPrimaryFileId) return std::nullopt;
  std::optional<LobRecord> record = LocateLobRecord(store, page_id, slot_id);
  if (!record) return std::nullopt;
  const size_t offset = record->offset;
  if (offset < kHeaderSize || offset >= kPageSize) return std::nullopt;
  std::optional<uint16_t> length = record->Bytes().U16(kRecordLength);
  if (!length || *length < kFragmentData) return std::nullopt;
  const size_t data_length = *length - kFragmentData;
  if (offset + data_length >= kFragmentDataLimit2000) return std::nullopt;
  std::optional<ByteView> data = record->PageView().Slice(offset + kFragmentData, data_length);
  if (!data) return std::nullopt;
  return Copy(*data);
}

std::optional<std::vector<uint8_t>> ReadTextFragment2005(const PageStore& store,
                                                         uint32_t page_id, uint16_t slot_id,
                                                         uint16_t file_id) {
  if (2 * size_t{slot_id} + 2 > kPageSize || file_id != kPrimaryFileId) return std::nullopt;
  std::optional<LobRecord> record = LocateLobRecord(store, page_id, slot_id);
  if (!record) return std::nullopt;
  const size_t offset = record->offset;
  if (offset < kMinRecordOffset || offset >= kRecordOffsetLimit) return std::nullopt;
  std::optional<uint16_t> length = record->Bytes().U16(kRecordLength);
  if (!length || *length < kFragmentData) return std::nullopt;
  const size_t data_length = *length - kFragmentData;
  std::optional<ByteView> data = record->PageView().Slice(offset + kFragmentData, data_length);
  if (!data) return std::nullopt;
  return Copy(*data);
}

}  // namespace tollamer
