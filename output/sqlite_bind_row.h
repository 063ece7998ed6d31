// A row packed for SQLite's bind calls: made on a decoding worker thread,
// read on the thread that owns the connection, so that the texts of money,
// dates and GUIDs are made off that thread and the values it binds are
// pointers into one batch buffer. Each value is one tag byte and its data:
//   'N'                          NULL
//   'I' int64, 8 bytes           integer
//   'F' double, 8 bytes          real
//   'T' u64 length, the bytes    UTF-8 text
//   'B' u64 length, the bytes    blob
// Numbers are in the machine's byte order: the packing never leaves the
// process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rows/typed_value.h"

namespace tollamer {

enum class BindTag : char { kNull = 'N', kInteger = 'I', kReal = 'F', kText = 'T', kBlob = 'B' };

struct BindValue {
  BindTag tag = BindTag::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string_view bytes;  // kText, kBlob
};

// Appends `columns` values: the row's, then NULL for columns it lacks.
// Integers, floats, text and binary keep their storage class; money and
// exact decimals are their exact text (into a TEXT column for money, see
// type_mapping.h), and so are dates and GUIDs.
void PackBindRow(const std::vector<TypedValue>& row, size_t columns, std::string& out);

// Reads packed values in order. Next() is false at the end of the buffer
// or at a value that does not fit in it. Inline: it runs for every value on
// the thread that binds them, whose time is the import's.
class BindRowReader {
 public:
  explicit BindRowReader(std::string_view packed) : packed_(packed) {}
  inline bool Next(BindValue& value);
  bool AtEnd() const { return at_ == packed_.size(); }

 private:
  std::string_view packed_;
  size_t at_ = 0;
};

inline bool BindRowReader::Next(BindValue& value) {
  if (at_ >= packed_.size()) return false;
  const char* p = packed_.data() + at_;
  const size_t left = packed_.size() - at_ - 1;
  value.tag = static_cast<BindTag>(*p);
  switch (value.tag) {
    case BindTag::kNull: at_ += 1; return true;
    case BindTag::kInteger:
      if (left < sizeof value.integer) return false;
      std::memcpy(&value.integer, p + 1, sizeof value.integer);
      at_ += 1 + sizeof value.integer;
      return true;
    case BindTag::kReal:
      if (left < sizeof value.real) return false;
      std::memcpy(&value.real, p + 1, sizeof value.real);
      at_ += 1 + sizeof value.real;
      return true;
    case BindTag::kText:
    case BindTag::kBlob: {
      uint64_t size = 0;
      if (left < sizeof size) return false;
      std::memcpy(&size, p + 1, sizeof size);
      if (size > left - sizeof size) return false;
      value.bytes = std::string_view(p + 1 + sizeof size, size);
      at_ += 1 + sizeof size + size;
      return true;
    }
  }
  return false;
}

}  // namespace tollamer
