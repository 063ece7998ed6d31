#include "engine/rows/compressed_value.h"

#include <algorithm>
#include <array>

#include "engine/pagestore/page_layout.h"
#include "engine/rows/cd_record_layout.h"
#include "engine/rows/compressed_value_typed.h"
#include "engine/values/value_types.h"

namespace tollamer {
namespace {

using namespace cd_layout;

// One value is assembled here; bytes past its length stay zero.
class Assembly {
 public:
  void Append(ByteView bytes) {
    const size_t take = std::min(bytes.size(), buffer_.size() - length_);
    std::copy_n(bytes.data(), take, buffer_.begin() + length_);
    length_ += take;
  }
  ByteView Buffer() const { return ByteView(buffer_.data(), buffer_.size()); }
  size_t Length() const { return length_; }

 private:
  std::array<uint8_t, page_layout::kPageSize> buffer_{};
  size_t length_ = 0;
};

bool GivesPrefix(const AnchorEntry* anchor) { return anchor && anchor->lengthField != 0; }

// The anchor value's bytes on the page (none when they cannot be read).
ByteView AnchorBytes(ByteView page, const AnchorEntry& anchor) {
  const CdLocation location{anchor.pageOffset, anchor.lengthField};
  return page.Slice(anchor.pageOffset, location.ByteCount()).value_or(ByteView());
}

// `stored` with an anchor prefix: its first byte is the number of anchor
// bytes that come first (no more than the anchor has), the rest follow.
void AppendPrefixed(Assembly& out, ByteView page, const AnchorEntry& anchor, ByteView stored) {
  const auto prefix = stored.U8(0);
  if (!prefix) return;
  const ByteView anchor_bytes = AnchorBytes(page, anchor);
  const size_t take = std::min<size_t>(*prefix, anchor_bytes.size());
  out.Append(anchor_bytes.Slice(0, take).value_or(ByteView()));
  out.Append(stored.From(1));
}

// What the CD code and bytes give before the column's type is applied.
enum class Assembled : uint8_t {
  kNull,        // the NULL code
  kBitOne,      // a bit column holding 1
  kZeroLength,  // the empty code with no anchor prefix
  kMissing,     // codes 13 to 15, or bytes that cannot be read
  kBytes,       // the value's bytes, in the assembly
};

Assembled Assemble(const CompressedPageContext& context, uint8_t code,
                   const CdLocation& location, const AnchorEntry* anchor, Assembly& value) {
  if (code == kCodeNull) return Assembled::kNull;
  if (code == kCodeBitOne) return Assembled::kBitOne;
  if (!location.LengthValid()) return Assembled::kMissing;

  const ByteView record = context.page.From(context.recordOffset);
  if (code >= kCodeShortFirst && code <= kCodeLong) {
    const auto stored = record.Slice(location.dataOffset, location.ByteCount());
    if (!stored) return Assembled::kMissing;
    if (GivesPrefix(anchor))
      AppendPrefixed(value, context.page, *anchor, *stored);
    else
      value.Append(*stored);
  } else if (code == kCodeEmpty) {
    if (!GivesPrefix(anchor)) return Assembled::kZeroLength;
    value.Append(AnchorBytes(context.page, *anchor));
  } else if (code == kCodePageSymbol) {
    const auto index = record.U8(location.dataOffset);
    if (!index) return Assembled::kMissing;
    const auto symbol = context.dictionary.find(*index);
    if (symbol == context.dictionary.end()) return Assembled::kMissing;
    const auto bytes = context.page.Slice(symbol->second.pageOffset, symbol->second.length);
    if (!bytes) return Assembled::kMissing;
    if (GivesPrefix(anchor))
      AppendPrefixed(value, context.page, *anchor, *bytes);
    else
      value.Append(*bytes);
  } else {
    return Assembled::kMissing;
  }
  return Assembled::kBytes;
}

}  // namespace

TypedValue ExpandCompressedTyped(const CompressedPageContext& context, uint8_t code,
                                 const CdLocation& location, const ColumnInfo& column,
                                 const AnchorEntry* anchor) {
  Assembly value;
  const Assembled assembled = Assemble(context, code, location, anchor, value);
  switch (assembled) {
    case Assembled::kNull: return TypedValue::Null();
    case Assembled::kMissing: {
      TypedValue missing;
      missing.source = ValueSource::kNotStored;
      return missing;
    }
    case Assembled::kBitOne: return TypedValue::Integer(1);
    case Assembled::kZeroLength: break;
    case Assembled::kBytes:
      // A bit's stored bytes mean nothing; no bytes at all are no decimal form.
      if (column.xtype == value_type::kBit ||
          (value.Length() == 0 &&
           (column.xtype == value_type::kDecimal || column.xtype == value_type::kNumeric))) {
        TypedValue unreadable;
        unreadable.source = ValueSource::kUnreadable;
        return unreadable;
      }
      break;
  }
  TypedValue typed = CompressedValueTyped(column, value.Buffer(), value.Length(),
                                          location.Complex(), context.store, context.traits);
  if (assembled == Assembled::kZeroLength)
    typed.source = ValueSource::kNoBytes;
  else if (typed.source == ValueSource::kNoBytes)
    typed.source = ValueSource::kStored;  // stored, if as no bytes: not the empty code
  if (typed.IsNull() && typed.source == ValueSource::kStored)
    typed.source = ValueSource::kUnreadable;
  return typed;
}

}  // namespace tollamer
