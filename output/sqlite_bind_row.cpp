#include "output/sqlite_bind_row.h"

#include <cstring>

#include "output/csv_format.h"

namespace tollamer {

namespace {

template <typename T>
void PutScalar(std::string& out, BindTag tag, T value) {
  char buf[1 + sizeof(T)];
  buf[0] = static_cast<char>(tag);
  std::memcpy(buf + 1, &value, sizeof(T));
  out.append(buf, sizeof buf);
}

void PutBytes(std::string& out, BindTag tag, const void* data, size_t size) {
  PutScalar<uint64_t>(out, tag, size);
  out.append(static_cast<const char*>(data), size);
}

// A text made in place: its length is written once the text is appended.
void PutMadeText(std::string& out, const TypedValue& v) {
  PutScalar<uint64_t>(out, BindTag::kText, 0);
  const size_t start = out.size();
  AppendExportText(out, v);
  const uint64_t size = out.size() - start;
  std::memcpy(out.data() + start - sizeof size, &size, sizeof size);
}

}  // namespace

void PackBindRow(const std::vector<TypedValue>& row, size_t columns, std::string& out) {
  for (size_t i = 0; i < columns; ++i) {
    if (i >= row.size()) {
      out.push_back(static_cast<char>(BindTag::kNull));
      continue;
    }
    const TypedValue& v = row[i];
    switch (v.kind) {
      case TypedKind::kNull: out.push_back(static_cast<char>(BindTag::kNull)); break;
      case TypedKind::kInteger: PutScalar(out, BindTag::kInteger, v.integer); break;
      case TypedKind::kFloat: PutScalar(out, BindTag::kReal, v.real); break;
      case TypedKind::kText: PutBytes(out, BindTag::kText, v.text.data(), v.text.size()); break;
      case TypedKind::kBytes: PutBytes(out, BindTag::kBlob, v.bytes.data(), v.bytes.size()); break;
      case TypedKind::kMoney:
      case TypedKind::kDecimal:
      case TypedKind::kDateTime:
      case TypedKind::kGuid: PutMadeText(out, v); break;
    }
  }
}

}  // namespace tollamer
