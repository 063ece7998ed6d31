// text, ntext and image values through their 16-byte text pointer.
#include <algorithm>
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
constexpr uint32_t kRecordOffsetLimit = kPageSize;

// Page types a screened text tree may be read from.
bool KnownPageType(uint8_t type) {
  static constexpr std::array<uint8_t, 12> kTypes = {1, 2, 3, 4, 8, 9, 10, 11, 13, 15, 16, 17};
  for (uint8_t t : kTypes)
    if (t == type) return true;
  return false;
}

// A sound page of the file it was asked from.
bool SoundPage(const Page& page, uint16_t file_id) {
  std::optional<PageHeader> h = PageHeader::Decode(page.view());
  return h && h->headerVersion == page_layout::kValidHeaderVersion &&
         h->fileId == std::max(file_id, kPrimaryFileId) && h->reservedZero &&
         KnownPageType(h->type);
}

bool InsideFile(const PageStore& store, uint64_t page) {
  return PageIdOfKey(page) < store.PageCountOf(FileIdOfKey(page));
}

struct Link {
  uint32_t page;
  uint16_t file;
  uint16_t slot;
  uint64_t Key() const { return PageKey(file, page); }
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
  TextWalk(const PageStore& store, const TextTreeRules& rules, bool unicode, std::string& value)
      : store_(store), rules_(rules), unicode_(unicode), value_(value) {}

  // `depth` 0 is the record the text pointer names.
  void Read(uint64_t page, uint16_t slot_id, bool root, int depth) {
    if (!visits_.First(page, slot_id)) return;
    if (depth > kMaxTextLevel) return Lost();
    if (rules_.screenPages && !InsideFile(store_, page)) return Lost();
    std::optional<LobRecord> record = LocateLobRecord(store_, page, slot_id);
    if (!record) return Lost();
    if (rules_.screenPages && !SoundPage(record->page, FileIdOfKey(page))) return Lost();
    if (store_.CheckOf(page) != PageCheck::kGood || !record->OnTextPage()) complete_ = false;
    const uint16_t offset = record->offset;
    if (offset < rules_.minNodeOffset || offset >= kRecordOffsetLimit) return Lost();

    ByteView rec = record->Bytes();
    const uint16_t type = rec.LeOr<uint16_t>(kRecordType);
    const uint16_t links = rec.LeOr<uint16_t>(kLinkCount);
    const uint16_t level = rec.LeOr<uint16_t>(kNodeLevel);
    if (level > kMaxTextLevel) return Lost();
    if (uint32_t{offset} + 16u * links >= kRecordOffsetLimit) return Lost();
    if (type == kTypeNull) return;

    if (type == kTypeSmallRoot) {
      const uint16_t length = rec.LeOr<uint16_t>(kSmallRootLength);
      if (std::optional<ByteView> data = rec.Slice(kSmallRootData, length))
        AppendLobData(*data, unicode_, value_);
      else
        Lost();
      return;
    }
    if (root && offset < kHeaderSize) return Lost();

    for (size_t i = 0; i < links; ++i) {
      std::optional<Link> link = ReadLink(rec, root, i);
      if (!link) return Lost();
      if (level >= 1) {
        // A node can only point at nodes of a lower level.
        Read(link->Key(), link->slot, false, depth + 1);
      } else {
        std::optional<std::vector<uint8_t>> fragment =
            ReadTextFragment(store_, rules_, link->page, link->slot, link->file);
        if (!fragment) Lost();
        else AppendLobData(*fragment, unicode_, value_);
        if (store_.CheckOf(link->Key()) != PageCheck::kGood) complete_ = false;
      }
    }
  }

  // False once a part of the value could not be read.
  bool Complete() const { return complete_; }

 private:
  const PageStore& store_;
  const TextTreeRules& rules_;
  bool unicode_;
  std::string& value_;
  LobVisits visits_;
  bool complete_ = true;

  void Lost() { complete_ = false; }
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

bool ReadTextValue(const PageStore& store, const TextTreeRules& rules, uint32_t page_id,
                   uint16_t slot_id, uint16_t file_id, std::string& value, bool root,
                   bool unicode) {
  TextWalk walk(store, rules, unicode, value);
  walk.Read(PageKey(file_id, page_id), slot_id, root, 0);
  return walk.Complete();
}

std::optional<std::vector<uint8_t>> ReadTextFragment(const PageStore& store,
                                                     const TextTreeRules& rules,
                                                     uint32_t page_id, uint16_t slot_id,
                                                     uint16_t file_id) {
  if (slot_id > rules.maxFragmentSlot || file_id == 0) return std::nullopt;
  std::optional<LobRecord> record = LocateLobRecord(store, PageKey(file_id, page_id), slot_id);
  if (!record || !record->OnTextPage()) return std::nullopt;
  const size_t offset = record->offset;
  if (offset < rules.minFragmentOffset || offset >= kRecordOffsetLimit) return std::nullopt;
  std::optional<uint16_t> length = record->Bytes().U16(kRecordLength);
  if (!length || *length < kFragmentData) return std::nullopt;
  std::optional<ByteView> data =
      record->PageView().Slice(offset + kFragmentData, *length - kFragmentData);
  if (!data) return std::nullopt;
  return Copy(*data);
}

}  // namespace tollamer
