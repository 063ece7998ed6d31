// SQL 2005/2008 records laid out by their recorded physical places: a
// table clustered on a non-unique key (hidden uniquifier, key columns
// first), and the fallback to the type-derived layout when the rows cannot
// be trusted.
#include <gtest/gtest.h>

#include <string>

#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/rows/table_rows.h"
#include "tests/fixtures/user_rows_clustered.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
using Row = std::vector<std::string>;

constexpr uint32_t kEmployee = 565577053;
// 1992-08-27 and 1990-12-24 as days since 1900-01-01.
constexpr int32_t kAug1992 = 33841;
constexpr int32_t kDec1990 = 33229;

class ClusteredLayoutTest : public ::testing::TestWithParam<FormatVersion> {
 protected:
  std::vector<Row> Read(const fixtures::sql2005::Database2005& d,
                        const std::vector<Bytes>& records) {
    fixtures::sql2005::Built2005 built = fixtures::sql2005::BuildDatabase2005(d);
    FillTablePages2005(built, kEmployee, {records}, GetParam());
    messages_ = std::make_unique<RecordingMessages>(true);
    db_ = std::make_unique<CMdfDatabase>(*messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("t.mdf", built.file.Image())));
    tollamer::sql2005::OpenCatalog2005(*db_);
    std::vector<Row> rows;
    ForEachTableRow(*db_, VersionSetting::kSql2005, kEmployee, [&](const Row& r) {
      rows.push_back(r);
      return true;
    });
    return rows;
  }
  // A database of this server holding `t` as table kEmployee.
  fixtures::sql2005::Database2005 With(fixtures::sql2005::Table2005 t) const {
    t.id = kEmployee;
    return {.version = GetParam(), .tables = {t}};
  }
  std::vector<Bytes> Records() const {
    return {EmployeeRecord(GetParam(), {"PMA42628M", "Paolo", "M", "Accorti", 13, 35, "0877", kAug1992}),
            // Second row of an equal key: the uniquifier is stored.
            EmployeeRecord(GetParam(), {"PSA89086M", "Pedro", std::nullopt, "Accorti", 14, 89,
                                        "1389", kDec1990, 1})};
  }

  testing::TempDir dir_;
  std::unique_ptr<RecordingMessages> messages_;
  std::unique_ptr<CMdfDatabase> db_;
};

const Row kPaolo = {"PMA42628M", "Paolo", "M", "Accorti", "13", "35", "0877",
                    "1992-08-27 00:00:00.000"};
const Row kPedro = {"PSA89086M", "Pedro", "NULL", "Accorti", "14", "89", "1389",
                    "1990-12-24 00:00:00.000"};

TEST_P(ClusteredLayoutTest, UniquifierAndKeyColumnsFirstDecodeByRecordedPlaces) {
  // Pedro's minit null bit is its recorded one, not its column position.
  EXPECT_EQ(Read(With(EmployeeTable2005(GetParam(), kEmployee)), Records()),
            (std::vector<Row>{kPaolo, kPedro}));
  const TableInfo& t = db_->catalog.tables.at(kEmployee);
  EXPECT_TRUE(t.physicalLayout2005.known);
  // The recorded variable numbers are written back as the reader saw them.
  EXPECT_EQ(t.columns.at(2).xoffset, GetParam() == FormatVersion::kSql2005 ? -2 : -3);
  EXPECT_EQ(t.columns.at(4).xoffset, GetParam() == FormatVersion::kSql2005 ? -3 : -2);
}

TEST_P(ClusteredLayoutTest, ContradictingRowsFallBackToTheTypeLayout) {
  // A table laid out in column order (a heap: no uniquifier), whose rowset
  // column rows name a varchar column as fixed: the rows are not trusted
  // and the type-derived layout, right for this table, reads it.
  fixtures::sql2005::Table2005 t{
      0, "plain", 1, {{"id", 56, 0, 4, 10, 0, true}, {"name", 167, 0, 20}, {"flag", 104, 0, 1}}};
  t.rowsetColumns = {{1, 1, 56, 4, 4, 1}, {2, 2, 167, 20, 9, 2}, {3, 3, 104, 1, 8, 3}};
  Bytes record = PlacedRecord(3, 9, {{4, 1, 0, Fixed(Int32(7))}, {-1, 2, 0, Var(Text("seven"))},
                                     {8, 3, 0, Bit(true)}});
  EXPECT_EQ(Read(With(t), {record}), (std::vector<Row>{{"7", "seven", "1"}}));
  EXPECT_FALSE(db_->catalog.tables.at(kEmployee).physicalLayout2005.known);
}

TEST_P(ClusteredLayoutTest, BitColumnsTakeTheirRecordedBits) {
  // Two bit columns whose recorded bits are swapped against column order.
  fixtures::sql2005::Table2005 t{0, "flags", 1, {{"a", 104, 0, 1}, {"b", 104, 0, 1}, {"n", 56, 0, 4}}};
  t.rowsetColumns = {{1, 1, 104, 1, 8, 2}, {2, 2, 104, 1, 8, 3}, {3, 3, 56, 4, 4, 1}};
  t.rowsetColumns[0].bitPos = 1;
  Bytes record = PlacedRecord(3, 9, {{8, 2, 1, Bit(true)}, {8, 3, 0, Bit(false)},
                                     {4, 1, 0, Fixed(Int32(-2))}});
  EXPECT_EQ(Read(With(t), {record}), (std::vector<Row>{{"1", "0", "-2"}}));
}

INSTANTIATE_TEST_SUITE_P(BothServers, ClusteredLayoutTest,
                         ::testing::Values(FormatVersion::kSql2005, FormatVersion::kSql2008),
                         [](const auto& info) {
                           return info.param == FormatVersion::kSql2005 ? "Sql2005" : "Sql2008";
                         });

}  // namespace
}  // namespace tollamer
