// A synthetic file of text pages opened through a page store, for the
// large-value tests.
#pragma once

#include <memory>
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

inline fixtures::Bytes Ascii(std::string_view s) { return fixtures::Bytes(s.begin(), s.end()); }

}  // namespace tollamer::testing
