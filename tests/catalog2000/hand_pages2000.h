// Hand-laid pages of a small SQL 2000 file, for tests that need pages at
// exact numbers: sysindexes pages, IAM pages and data pages.
#pragma once

#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "tests/fixtures/file_builder.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/test_support.h"

namespace tollamer::testing2000 {

using fixtures::Bytes;
using fixtures::FileBuilder;
using fixtures::FormatVersion;
using fixtures::IamPageBuilder;
using fixtures::PageBuilder;
using page_layout::PageType;

inline Bytes Finished(Bytes page) {
  fixtures::FinishPage(page, FormatVersion::kSql2000);
  return page;
}

// A data page of `obj` holding `records`.
inline Bytes DataPage(uint32_t n, uint32_t obj, const std::vector<Bytes>& records = {},
                      uint8_t type_flag_bits = 0, PageType type = PageType::kData) {
  PageBuilder b(type, n);
  b.ObjId(obj).TypeFlagBits(type_flag_bits).Pminlen(8);
  for (const Bytes& r : records) b.AddRecord(r);
  return Finished(b.Build());
}

// A sysindexes row describing `obj`'s data with the given IAM page.
inline Bytes IndexRow(uint32_t obj, uint32_t dpages, uint32_t iam, uint16_t indid = 0,
                      uint64_t rows = 0) {
  return fixtures::sql2000::SysIndexesRow(obj, indid, 0, dpages, rows, iam, "x");
}

inline Bytes Iam(uint32_t n, uint32_t obj, const std::vector<uint32_t>& singles,
                 const std::vector<uint32_t>& extents = {}, uint32_t next = 0) {
  IamPageBuilder b(n, obj, 0, FormatVersion::kSql2000);
  for (size_t i = 0; i < singles.size(); ++i) b.SinglePage(i, singles[i]);
  for (uint32_t e : extents) b.MarkExtent(e);
  b.NextIam(next);
  return Finished(b.Build());
}

class HandFileTest : public ::testing::Test {
 protected:
  CMdfDatabase& Open(const FileBuilder& f) {
    EXPECT_TRUE(db_.OpenFile(dir_.Write("hand.mdf", f.Image())));
    return db_;
  }
  testing::TempDir dir_;
  RecordingMessages messages_;
  CMdfDatabase db_{messages_};
};

}  // namespace tollamer::testing2000
