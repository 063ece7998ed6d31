// A synthetic file of text pages opened through a page store, for the
// large-value tests.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/pagestore/page_store.h"
#include "tests/fixtures/file_builder.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/test_support.h"

namespace tollamer::testing {

class LobFile {
 public:
  explicit LobFile(uint32_t page_count = 16) : file_(page_count) {}

  void SetPage(uint32_t n, fixtures::Bytes page) { file_.SetPage(n, std::move(page)); }

  // Writes the file and opens it; the store stays open while this lives.
  const PageStore& Open() {
    store_ = std::make_unique<PageStore>(messages_);
    path_ = dir_.Write("lob.mdf", file_.Image());
    EXPECT_TRUE(store_->OpenFile(path_));
    return *store_;
  }

 private:
  TempDir dir_;
  fixtures::FileBuilder file_;
  RecordingMessages messages_;
  std::unique_ptr<PageStore> store_;
  std::string path_;
};

// Variable column `column` (0-based) of a record, or nothing.
inline std::optional<ByteView> VariableColumn(ByteView record, size_t column) {
  uint16_t fixed_end = record.LeOr<uint16_t>(2);
  uint16_t columns = record.LeOr<uint16_t>(fixed_end);
  size_t vars_at = fixed_end + 2 + (columns + 7) / 8;
  uint16_t vars = record.LeOr<uint16_t>(vars_at);
  if (column >= vars) return std::nullopt;
  size_t start = column == 0 ? vars_at + 2 + 2 * vars
                             : record.LeOr<uint16_t>(vars_at + 2 * column) & 0x7FFF;
  size_t end = record.LeOr<uint16_t>(vars_at + 2 + 2 * column) & 0x7FFF;
  if (end < start) return std::nullopt;
  return record.Slice(start, end - start);
}

inline fixtures::Bytes Ascii(std::string_view s) { return fixtures::Bytes(s.begin(), s.end()); }

}  // namespace tollamer::testing
