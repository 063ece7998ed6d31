#include "engine/pagestore/server_version.h"

#include <gtest/gtest.h>

#include "tests/fixtures/sample_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using fixtures::FormatVersion;

TEST(VersionFromDbiVersionTest, NamesTheFormatsAtTheirBoundaries) {
  struct Case { uint16_t v; VersionSetting s; const char* name; bool newer; };
  for (const Case& c : {Case{515, VersionSetting::kSql2000, "SQL Server 7.0", false},
                        Case{539, VersionSetting::kSql2000, "SQL Server 2000", false},
                        Case{611, VersionSetting::kSql2005, "SQL Server 2005", false},
                        Case{655, VersionSetting::kSql2005, "SQL Server 2008", false},
                        Case{781, VersionSetting::kSql2005, "SQL Server 2012", false},
                        Case{998, VersionSetting::kSql2005, "SQL Server 2025", false},
                        Case{1200, VersionSetting::kSql2005, "SQL Server 2025", true}}) {
    VersionGuess g = VersionFromDbiVersion(c.v);
    EXPECT_EQ(g.setting, c.s) << c.v;
    EXPECT_EQ(g.name, c.name) << c.v;
    EXPECT_EQ(g.newerThanKnown, c.newer) << c.v;
  }
  EXPECT_EQ(VersionFromDbiVersion(0).setting, VersionSetting::kNone);
}

class DetectServerVersionTest : public ::testing::TestWithParam<FormatVersion> {
 protected:
  testing::TempDir dir_;
  RecordingMessages messages_;
};

TEST_P(DetectServerVersionTest, ReadsTheBootPageAndFallsBackToSystemPages) {
  fixtures::FileBuilder f = fixtures::BuildSampleDatabase({GetParam(), 64});
  VersionSetting expected =
      GetParam() == FormatVersion::kSql2000 ? VersionSetting::kSql2000 : VersionSetting::kSql2005;
  {
    PageStore store(messages_);
    ASSERT_TRUE(store.OpenFile(dir_.Write("v.mdf", f.Image())));
    VersionGuess g = DetectServerVersion(store);
    EXPECT_EQ(g.setting, expected);
    EXPECT_EQ(g.evidence, VersionEvidence::kBootPage);
    EXPECT_EQ(g.dbiVersion, fixtures::DbiVersionOf(GetParam()));
    EXPECT_EQ(g.createVersion, fixtures::DbiVersionOf(GetParam()));
  }
  // Boot page zeroed: the system table pages still tell the format.
  f.SetPage(kBootPage, fixtures::Bytes(page_layout::kPageSize, 0));
  PageStore store(messages_);
  ASSERT_TRUE(store.OpenFile(dir_.Write("v2.mdf", f.Image())));
  VersionGuess g = DetectServerVersion(store);
  EXPECT_EQ(g.setting, expected);
  EXPECT_EQ(g.evidence, VersionEvidence::kDataPages);
  EXPECT_FALSE(g.dbiVersion);
  // Nothing to go on, or no file: no setting.
  PageStore zeros(messages_);
  ASSERT_TRUE(zeros.OpenFile(dir_.Write("z.mdf", fixtures::Bytes(16 * 8192, 0))));
  EXPECT_EQ(DetectServerVersion(zeros).setting, VersionSetting::kNone);
  EXPECT_TRUE(DetectServerVersion(zeros).name.empty());
  EXPECT_EQ(DetectServerVersion(PageStore(messages_)).setting, VersionSetting::kNone);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, DetectServerVersionTest,
                         ::testing::Values(FormatVersion::kSql2000, FormatVersion::kSql2005,
                                           FormatVersion::kSql2008));

}  // namespace
}  // namespace tollamer
