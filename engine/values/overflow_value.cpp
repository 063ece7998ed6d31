// Off-row values of complex columns in SQL 2005/2008 files.
#include <cstdint>
#include <string>

#include "engine/pagestore/page_layout.h"
#include "engine/values/large_values.h"
#include "engine/values/lob_layout.h"
#include "engine/values/lob_record.h"
#include "engine/values/wide_text.h"
#include "platform/text.h"

namespace tollamer {
namespace {

using namespace lob_layout;
using page_layout::kPageSize;

// Appends one piece of the value by the column's type.
void AppendPiece(ByteView piece, uint8_t type_id, uint16_t code_page, std::string& value) {
  if (type_id == kOverflowModuleText) {
    // A piece whose 8-bit string ends well before the piece does is UTF-16
    // text.
    const size_t narrow = NarrowLength(piece);
    if (piece.size() - narrow > 2) {
      AppendWideAsAnsi(piece, value);
    } else {
      platform::AppendCodePageAsUtf8(piece.span().first(narrow), code_page, value);
    }
  } else if (type_id == value_type::kVarChar) {
    value.append(reinterpret_cast<const char*>(piece.data()), NarrowLength(piece));
  } else if (type_id == value_type::kNVarChar) {
    // nvarchar data is UTF-16 whatever its bytes look like: Chinese text
    // has no zero bytes and must not be taken for 8-bit text.
    AppendWideAsAnsi(piece, value);
  } else {
    value.append(reinterpret_cast<const char*>(piece.data()), piece.size());
  }
}

struct OverflowWalk {
  const PageStore& store;
  uint8_t type_id;
  uint16_t code_page;
  std::string& value;
  uint64_t previous_end = 0;  // cumulative size up to the end of the last piece
  LobVisits visits;
  bool complete = true;  // false once a piece's page fails its check or is no text page

  // Appends the piece of a data record ending at cumulative size `end`.
  // False when the piece does not lie inside the page.
  bool TakePiece(const LobRecord& record, uint64_t end) {
    if (end < previous_end) return false;
    const uint64_t length = end - previous_end;
    if (length > kPageSize) return false;
    // Links may name one piece any number of times; a value never holds
    // more bytes than the file, so the walk ends there.
    if (value.size() + length > store.FileLength()) return false;
    std::optional<ByteView> piece =
        record.PageView().Slice(size_t{record.offset} + kFragmentData, static_cast<size_t>(length));
    if (!piece) return false;
    AppendPiece(*piece, type_id, code_page, value);
    previous_end = end;
    return true;
  }

  // Walks an internal node and everything below it; false ends the walk.
  bool WalkNode(const LobRecord& node, int depth) {
    if (depth > kMaxNodeLevel) return false;
    ByteView rec = node.Bytes();
    const std::optional<uint16_t> count = rec.U16(kLinkCount);
    const std::optional<uint16_t> level = rec.U16(kNodeLevel);
    if (!count || !level) return false;
    for (size_t i = 0; i < *count; ++i) {
      std::optional<ByteView> link = rec.Slice(kNodeLinks + i * kNodeLinkSize, kNodeLinkSize);
      if (!link) return true;
      const uint64_t end = link->LeOr<uint64_t>(kNodeLinkOffset64);
      const uint64_t page =
          PageKey(link->LeOr<uint16_t>(kNodeLinkFile), link->LeOr<uint32_t>(kNodeLinkPage));
      const uint16_t slot = link->LeOr<uint16_t>(kNodeLinkSlot);
      std::optional<LobRecord> child = LocateLobRecord(store, page, slot);
      if (!child) return false;
      if (store.CheckOf(page) != PageCheck::kGood || !child->OnTextPage()) complete = false;
      if (child->offset >= kPageSize) continue;
      if (*level != 0) {
        if (*level > kMaxNodeLevel) return false;
        if (!visits.First(page, slot)) continue;
        if (!WalkNode(*child, depth + 1)) return false;
      } else if (size_t{child->offset} + kFragmentData < kPageSize) {
        if (!TakePiece(*child, end)) return false;
      }
    }
    return true;
  }
};

}  // namespace

bool ReadOverflowValue(const PageStore& store, ByteView in_row_pointer, uint8_t type_id,
                       std::string& value, uint16_t code_page) {
  const size_t length = in_row_pointer.size();
  if (length < 2 * kInRowHeaderSize) return false;
  const size_t links = length / kRootLinkSize - 1;
  const uint8_t level = in_row_pointer.LeOr<uint8_t>(kInRowLevel);

  OverflowWalk walk{store, type_id, code_page, value, 0, {}, true};
  for (size_t i = 0; i < links; ++i) {
    std::optional<ByteView> link =
        in_row_pointer.Slice(kInRowHeaderSize + i * kRootLinkSize, kRootLinkSize);
    if (!link) return false;
    if (level > kInRowMaxNodeLevel) continue;
    const uint32_t end = link->LeOr<uint32_t>(kRootLinkSize32);
    const uint64_t page =
        PageKey(link->LeOr<uint16_t>(kRootLinkFile), link->LeOr<uint32_t>(kRootLinkPage));
    const uint16_t slot = link->LeOr<uint16_t>(kRootLinkSlot);
    std::optional<LobRecord> record = LocateLobRecord(store, page, slot);
    if (!record) return false;
    if (store.CheckOf(page) != PageCheck::kGood || !record->OnTextPage()) walk.complete = false;
    const uint16_t record_type = record->Bytes().LeOr<uint16_t>(kRecordType, kTypeData);
    if (level == 0 && record_type != kTypeInternal) {
      if (!walk.TakePiece(*record, end)) return false;
    } else {
      // A pointer of level 0 that names an internal node is walked as one:
      // its record type says what it is.
      if (!walk.visits.First(page, slot)) continue;
      if (!walk.WalkNode(*record, 1)) return false;
    }
  }
  return walk.complete;
}

}  // namespace tollamer
