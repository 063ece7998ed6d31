// Work and memory stay bounded by the file whatever its length fields and
// links say: lengths of 0xFFFFFFFF, links that name their own page, trees
// that fan out to the same piece again and again.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_layout.h"
#include "engine/rows/compressed_record.h"
#include "engine/rows/compressed_row.h"
#include "engine/rows/table_rows.h"
#include "engine/values/large_values.h"
#include "engine/values/xml_value.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"
#include "tests/values/lob_test_support.h"
#include "tools/allocation_map.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::LobLink;
using page_layout::PageType;

TEST(BoundedWorkTest, LengthFieldsOfAllOnesReadNothingBeyondTheirBytes) {
  // Binary XML: a name whose character count is 0xFFFFFFFF.
  Bytes xml = {0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'a', 0};
  std::string text;
  DecodeXmlValue(xml, text);
  EXPECT_LE(text.size(), 16 * xml.size());
  Bytes mb32 = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  auto n = ReadMb32(mb32);
  if (n) {
    EXPECT_LE(n->used, mb32.size());
  }

  // A text pointer and an in-row pointer whose sizes are all ones, on a
  // file of one text page.
  testing::LobFile file(4);
  file.SetPage(2, fixtures::LobPage(PageType::kTextMix, 2,
                                    {fixtures::LobDataFragment(3, testing::Ascii("abc"))}));
  const PageStore& store = file.Open();
  std::string value;
  ReadOverflowValue(store, fixtures::InRowLobPointer(0, {{0xFFFFFFFFu, 2, 0}}), value_type::kVarChar,
                    value);
  EXPECT_LE(value.size(), page_layout::kPageSize);
  value.clear();
  ReadOverflowValue(store, fixtures::InRowLobPointer(1, {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFF}}),
                    value_type::kVarChar, value);
  EXPECT_EQ(value, "");
  value.clear();
  ReadTextValue(store, kTextTree2005, 0xFFFFFFFFu, 0xFFFF, 1, value, true, false);
  EXPECT_EQ(value, "");

  // NTFS: one run of 0xFFFFFFFF clusters; FAT32: 0xFFFFFFFF sectors per
  // FAT. Neither may ask for a map larger than the source.
  Bytes runs = {0x44, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x00, 0x00, 0x00, 0x00};
  auto decoded = tools::DecodeRunList(runs);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->size(), 1u);
  EXPECT_EQ((*decoded)[0].clusters, 0xFFFFFFFFu);
  Bytes boot(64 * 512, 0);
  boot[11] = 0x00, boot[12] = 0x02, boot[13] = 1, boot[14] = 4, boot[16] = 1;
  fixtures::PutU32(boot, 36, 0xFFFFFFFFu);
  std::copy_n("FAT32   ", 8, boot.begin() + 82);
  boot[510] = 0x55, boot[511] = 0xAA;
  fixtures::MemorySource source(boot);
  EXPECT_FALSE(tools::ReadFat32Table(source, 0, ByteView(boot).Slice(0, 512).value()));
}

TEST(BoundedWorkTest, CompressedRecordClaimingAllOnesColumnsStaysInsideItsPage) {
  fixtures::CdPageBuilder builder(300);
  Bytes record = fixtures::CdRecordBuilder().Short({1}).Long(Bytes(20, 'x')).WideCount().Build();
  // The 2-byte column count after the header byte becomes 0xFFFF.
  record[1] = 0xFF, record[2] = 0xFF;
  const uint16_t offset = builder.AddRecord(record);
  Bytes page = builder.Build();
  std::map<uint16_t, ColumnInfo> columns;
  for (uint16_t id = 1; id <= 3; ++id) {
    ColumnInfo c;
    c.colid = id, c.xtype = 167, c.length = 100, c.name = "c";
    columns[id] = c;
  }
  RecordingMessages messages;
  PageStore unopened(messages);
  const auto started = std::chrono::steady_clock::now();
  if (auto cd = CdRecord::Open(page, offset)) {
    const auto long_region = cd->LocateLongRegion();
    for (uint32_t c = 0; c < 3; ++c) (void)cd->Locate(c, long_region);
  }
  auto row = DecodeCompressedTyped(page, offset, columns, {}, {}, unopened,
                                   fixtures::CompressedTraits(), messages);
  if (row) {
    EXPECT_EQ(row->size(), columns.size());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

// A copy of a real file in which the first data page of a table claims
// 0xFFFF slots and names itself as the next and previous page, and the
// table's IAM page names itself as the next IAM page.
struct LoopedTable {
  testing::TempDir dir;
  std::string path;
  uint32_t tableId = 0;
  uint64_t healthyRows = 0;
};

std::unique_ptr<LoopedTable> LoopTable(const std::string& real_path, VersionSetting version,
                                       const std::string& table_name) {
  auto owned = std::make_unique<LoopedTable>();
  LoopedTable& looped = *owned;
  testing::FileSnapshot snapshot = testing::FileSnapshot::Of(real_path);
  Bytes bytes = snapshot.bytes;
  RecordingMessages messages(true);
  CMdfDatabase db(messages);
  if (!db.OpenFile(real_path)) return nullptr;
  OpenCatalog(db, version);
  for (const auto& [id, table] : db.catalog.tables)
    if (table.fullName.size() >= table_name.size() &&
        table.fullName.compare(table.fullName.size() - table_name.size(), table_name.size(),
                               table_name) == 0)
      looped.tableId = id;
  if (looped.tableId == 0) return nullptr;
  ForEachTableRow(db, version, looped.tableId, [&](const std::vector<std::string>&) {
    ++looped.healthyRows;
    return true;
  });
  const DataPageList& pages = db.dataPageLists.at(looped.tableId);
  if (pages.empty()) return nullptr;
  const uint64_t first_page = pages.front();
  const std::optional<PageHeader> first_header = db.Store().ReadHeader(first_page);
  if (!first_header) return nullptr;
  const uint32_t objid = first_header->objId;
  uint8_t* page = bytes.data() + first_page * page_layout::kPageSize;
  fixtures::Bytes header(page, page + page_layout::kHeaderSize);
  fixtures::PutU16(header, page_layout::kSlotCnt, 0xFFFF);
  fixtures::PutU32(header, page_layout::kNextPage, static_cast<uint32_t>(first_page));
  fixtures::PutU32(header, page_layout::kPrevPage, static_cast<uint32_t>(first_page));
  std::copy(header.begin(), header.end(), page);
  for (uint64_t p = 0; p < db.Store().PageCount(); ++p) {
    auto h = db.Store().ReadHeader(p);
    if (h && h->HasType(PageType::kIam) && h->objId == objid) {
      uint8_t* iam = bytes.data() + p * page_layout::kPageSize;
      fixtures::Bytes ih(iam, iam + page_layout::kHeaderSize);
      fixtures::PutU32(ih, page_layout::kNextPage, static_cast<uint32_t>(p));
      std::copy(ih.begin(), ih.end(), iam);
    }
  }
  looped.path = looped.dir.Write("looped.mdf", bytes);
  return owned;
}

void ExpectBoundedRead(const std::string& real_path, VersionSetting version,
                       const std::string& table) {
  auto looped = LoopTable(real_path, version, table);
  ASSERT_TRUE(looped) << table << " not found in " << real_path;
  RecordingMessages messages(true);
  CMdfDatabase db(messages);
  ASSERT_TRUE(db.OpenFile(looped->path));
  const auto started = std::chrono::steady_clock::now();
  OpenCatalog(db, version);
  uint64_t rows = 0;
  ForEachTableRow(db, version, looped->tableId, [&](const std::vector<std::string>&) {
    ++rows;
    return true;
  });
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  // Every slot of the page is at least two bytes of its slot array.
  const uint64_t max_slots = (page_layout::kPageSize - page_layout::kHeaderSize) / 2;
  EXPECT_LE(rows, looped->healthyRows + max_slots) << "records beyond the page were read";
  EXPECT_GE(rows + 1, looped->healthyRows / 2) << "the table's other pages were lost";
}

TEST(BoundedWorkTest, SelfLinkedPagesOfASql2000TableEndTheRead) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2000.mdf");
  ExpectBoundedRead(path, VersionSetting::kSql2000, "roysched");
}

TEST(BoundedWorkTest, SelfLinkedPagesOfASql2008TableEndTheRead) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  ExpectBoundedRead(path, VersionSetting::kSql2005, "roysched");
}

}  // namespace
}  // namespace tollamer
