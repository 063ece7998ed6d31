// Damaged copies of real and synthetic database files: the open and the row
// read finish on each (no crash, no hang), and every row of a page that the
// damage did not touch comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "engine/pagestore/iam_chain.h"
#include "tests/fixtures/damage_copies.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/resilience/recovered_rows.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;
using fixtures::DamagedCopy;
using fixtures::DamageMaker;
using resilience::HealthyFile;
using resilience::Recovery;

constexpr auto kTimeLimit = std::chrono::seconds(120);

struct Figures {
  size_t copies = 0;
  size_t expected = 0;
  size_t recoveredFirst = 0;
  size_t recovered = 0;
  size_t tablesLost = 0;
  size_t tablesUnowned = 0;
  void Add(const Recovery& r) {
    ++copies;
    expected += r.expected;
    recoveredFirst += r.recoveredFirst;
    recovered += r.recovered;
    tablesLost += r.tablesLost;
    tablesUnowned += r.tablesUnowned;
  }
  void Print(const std::string& what) const {
    std::printf("resilience %s: copies tried %zu, rows expected %zu, rows recovered %zu "
                "(%zu by the plain read, the rest after the all-tables scan), tables lost with "
                "their catalog rows %zu (%zu of them SQL 2005/2008 tables whose allocation unit rows were "
                "lost)\n",
                what.c_str(), copies, expected, recovered, recoveredFirst, tablesLost, tablesUnowned);
  }
};

// The IAM page whose single-page slots or extents hold `page`.
std::optional<uint64_t> IamHolding(const PageStore& store, uint64_t page) {
  for (uint64_t p = 0; p < store.PageCount(); ++p) {
    auto header = store.ReadHeader(p);
    if (!header || !header->HasType(page_layout::PageType::kIam)) continue;
    if (auto singles = ReadIamSinglePages(store, p))
      for (uint64_t s : *singles)
        if (s == page) return p;
    std::vector<uint64_t> extents;
    if (WalkIamChain(store, p, extents))
      for (uint64_t e : extents)
        if (e == page / 8) return p;
  }
  return std::nullopt;
}

std::vector<DamagedCopy> CopiesOf(const Bytes& bytes, const CMdfDatabase& db,
                                  const HealthyFile& healthy, bool is2000) {
  std::vector<uint64_t> data_pages;
  for (const auto& [id, rows] : healthy.rows)
    for (const auto& r : rows)
      if (data_pages.empty() || data_pages.back() != r.page) data_pages.push_back(r.page);

  DamageMaker maker(bytes, 20261207);
  std::vector<DamagedCopy> copies;
  for (int i = 0; i < 3; ++i) copies.push_back(maker.FlipBitsInOnePercent());
  copies.push_back(maker.ZeroSomeOf(data_pages, 3));
  std::vector<uint64_t> anywhere;
  for (int i = 0; i < 3; ++i) anywhere.push_back(maker.Draw(maker.PageCount()));
  copies.push_back(maker.ZeroPages("zeroed pages anywhere", anywhere, false));
  copies.push_back(maker.TruncateTail(maker.PageCount() * 9 / 10));
  if (!data_pages.empty()) {
    const uint64_t torn = data_pages[maker.Draw(data_pages.size())];
    copies.push_back(maker.TearWithoutTornBits(torn, torn > 20 ? torn - 7 : torn + 5));
  }
  const SystemPageList& objects = is2000 ? db.systemPages2000.sysobjects : db.systemPages2005.sysschobjs;
  if (!objects.empty()) {
    if (auto iam = IamHolding(db.Store(), objects.pages().front())) {
      DamagedCopy c = maker.ZeroPages("broken IAM of a system table", {*iam}, true);
      copies.push_back(std::move(c));
    }
  }
  // A destroyed sysindexes or sysallocunits page: each one zeroed in turn
  // by ZeroingOneSystemPageKeepsTheRowsOfUserTables.
  return copies;
}

// Runs every damaged copy of one file and checks what came back.
void CheckFile(const std::string& name, const Bytes& bytes, VersionSetting version,
               Figures& total) {
  Figures figures;
  testing::TempDir dir;
  const std::string healthy_path = dir.Write(name, bytes);
  RecordingMessages messages(true);
  CMdfDatabase db(messages);
  EXPECT_TRUE(db.OpenFile(healthy_path)) << name;
  if (!db.IsOpen()) return;
  const HealthyFile healthy = resilience::ReadHealthy(db, version);
  EXPECT_GT(healthy.RowCount(), 0u) << name << ": the healthy file shows no rows";

  const bool is2000 = version == VersionSetting::kSql2000;
  for (DamagedCopy& copy : CopiesOf(bytes, db, healthy, is2000)) {
    const std::string path = dir.Write("damaged-" + name, copy.bytes);
    const std::string what = name + ", " + copy.name;
    auto outcome = resilience::RunWithTimeLimit(kTimeLimit, [&] {
      return resilience::RecoverCopy(path, version, healthy, copy.damagedPages).Serialize();
    });
    EXPECT_NE(outcome.kind, resilience::ChildOutcome::Kind::kTimedOut)
        << what << ": the open or the row read did not finish within " << kTimeLimit.count() << " s";
    EXPECT_NE(outcome.kind, resilience::ChildOutcome::Kind::kCrashed)
        << what << ": the reader ended with signal/status " << outcome.signal;
    std::optional<Recovery> r = Recovery::Parse(outcome.output);
    EXPECT_TRUE(r) << what << ": no result from the reader";
    if (!r) continue;
    EXPECT_TRUE(r->opened) << what;
    EXPECT_EQ(r->recovered, r->expected) << what << ": rows of undamaged pages were lost";
    if (copy.catalogIntact) {
      EXPECT_EQ(r->tablesLost - r->tablesUnowned, 0u) << what << ": the catalog lost tables";
    }
    figures.Add(*r);
  }
  figures.Print(name);
  total.copies += figures.copies;
  total.expected += figures.expected;
  total.recoveredFirst += figures.recoveredFirst;
  total.recovered += figures.recovered;
  total.tablesLost += figures.tablesLost;
  total.tablesUnowned += figures.tablesUnowned;
}

struct RealFile {
  const char* name;
  VersionSetting version;
};

TEST(DamageResilienceTest, DamagedCopiesOfTheRealFilesKeepTheRowsOfUndamagedPages) {
  const RealFile files[] = {{"pubs-sql2000.mdf", VersionSetting::kSql2000},
                            {"pubs-sql2005.mdf", VersionSetting::kSql2005},
                            {"pubs-sql2008.mdf", VersionSetting::kSql2005},
                            {"qlsinhvien-sql2008.mdf", VersionSetting::kSql2005}};
  Figures total;
  for (const RealFile& f : files) {
    TOLLAMER_REQUIRE_REAL_FILE(path, f.name);
    testing::FileSnapshot snapshot = testing::FileSnapshot::Of(path);
    CheckFile(f.name, snapshot.bytes, f.version, total);
  }
  total.Print("of the real files");
  EXPECT_GT(total.copies, 30u);
}

// What a file gives: rows per table id as the row reader reads them, and
// the tables with recorded rows that the all-tables scan of the whole file
// (scan-tables) leaves without a data page.
struct CopyRead {
  std::map<uint32_t, size_t> rows;
  size_t tablesUnscanned = 0;
};

CopyRead ReadCopy(const std::string& path, VersionSetting version) {
  CopyRead read;
  RecordingMessages messages(true);
  CMdfDatabase db(messages);
  if (!db.OpenFile(path)) return read;
  OpenCatalog(db, version);
  std::vector<uint32_t> ids;
  for (const auto& [id, table] : db.catalog.tables) ids.push_back(id);
  for (uint32_t id : ids) {
    size_t& n = read.rows[id];
    ForEachTableRow(db, version, id, [&](const resilience::Row&) {
      ++n;
      return true;
    });
  }
  if (version == VersionSetting::kSql2000) ScanFileForTable2000(db, 0, true);
  else sql2005::ScanFileForTable2005(db, 0, true);
  read.tablesUnscanned = TablesWithoutDataPages(db).size();
  return read;
}

// The pages of the system tables that locate a table's data pages and
// describe its records, with the table each belongs to.
std::map<uint64_t, std::string> LocatingSystemPages(CMdfDatabase& db, bool is2000) {
  std::map<uint64_t, std::string> pages;
  auto add = [&](const SystemPageList& list, const char* name) {
    for (uint64_t p : list) pages.emplace(p, name);
  };
  if (is2000) {
    SystemPages2000& s = db.systemPages2000;
    add(s.sysobjects, "sysobjects");
    add(s.sysindexes, "sysindexes");
    add(s.syscolumns, "syscolumns");
  } else {
    SystemPages2005& s = db.systemPages2005;
    add(s.sysallocunits, "sysallocunits");
    add(s.sysrowsets, "sysrowsets");
    add(s.sysschobjs, "sysschobjs");
    add(s.syscolpars, "syscolpars");
    add(s.sysrscols, "sysrscols");
    add(s.syshobtcolumns, "syshobtcolumns");
    add(s.sysidxstats, "sysidxstats");
  }
  return pages;
}

struct SinglePageLoss {
  size_t pagesTried = 0;
  size_t pagesLosingRows = 0;  // zeroing the page lost rows of user tables
  size_t rowsLost = 0;
  size_t rowsGained = 0;  // rows a table gave that the undamaged file does not
  size_t pagesFailingTheScan = 0;  // the all-tables scan then left a table without pages
};

// Zeroes each locating system page of the file in turn and counts the rows
// of user tables that the copy no longer gives (a system page holds none)
// or gives in excess. Last, a 2005+ file loses all of its sysallocunits
// pages and its boot page at once: the version is told from the other
// system pages, and the units are tied to their tables by order and shape.
SinglePageLoss ZeroEachSystemPage(const std::string& name, const Bytes& bytes,
                                  VersionSetting version) {
  SinglePageLoss loss;
  testing::TempDir dir;
  const std::string healthy_path = dir.Write(name, bytes);
  const std::map<uint32_t, size_t> healthy = ReadCopy(healthy_path, version).rows;
  RecordingMessages messages(true);
  CMdfDatabase db(messages);
  if (!db.OpenFile(healthy_path)) return loss;
  OpenCatalog(db, version);
  std::vector<std::pair<std::vector<uint64_t>, std::string>> damages;
  for (const auto& [page, table] : LocatingSystemPages(db, version == VersionSetting::kSql2000))
    damages.push_back({{page}, table});
  if (version == VersionSetting::kSql2005) {
    std::vector<uint64_t> all_units(db.systemPages2005.sysallocunits.begin(),
                                    db.systemPages2005.sysallocunits.end());
    all_units.push_back(kBootPage);
    damages.push_back({all_units, "every sysallocunits and the boot"});
  }
  for (const auto& [pages, table] : damages) {
    const uint64_t page = pages.front();
    Bytes copy = bytes;
    for (uint64_t p : pages)
      std::fill_n(copy.begin() + static_cast<std::ptrdiff_t>(p * page_layout::kPageSize),
                  page_layout::kPageSize, 0);
    const std::string copy_path = dir.Write("zeroed-" + name, copy);
    if (pages.size() > 1) {
      RecordingMessages quiet(true);
      CMdfDatabase probe(quiet);
      EXPECT_TRUE(probe.OpenFile(copy_path) &&
                  DetectServerVersion(probe.Store()).setting == VersionSetting::kSql2005)
          << name << ": the version is not told without the boot and sysallocunits pages";
    }
    const CopyRead got = ReadCopy(copy_path, version);
    size_t lost = 0;
    for (const auto& [id, n] : healthy) {
      auto it = got.rows.find(id);
      const size_t kept = it == got.rows.end() ? size_t{0} : it->second;
      lost += n - std::min(n, kept);
      loss.rowsGained += kept - std::min(n, kept);
    }
    ++loss.pagesTried;
    if (got.tablesUnscanned) ++loss.pagesFailingTheScan;
    if (lost) {
      ++loss.pagesLosingRows;
      loss.rowsLost += lost;
      std::printf("%s: zeroing %s page %llu loses %zu rows\n", name.c_str(), table.c_str(),
                  static_cast<unsigned long long>(page), lost);
    }
  }
  return loss;
}

// Each page of the system tables that locate and describe table data,
// zeroed in turn (one page at a time): the rows of user tables stay, found
// through the other system tables and the page headers. The figures left
// are the losses no other record can make good yet.
TEST(DamageResilienceTest, ZeroingOneSystemPageKeepsTheRowsOfUserTables) {
  struct Case {
    const char* file;  // a real file, or a synthetic one named fixture-*
    VersionSetting version;
    size_t pagesLosingRows;
    size_t rowsLost;
  };
  const Case cases[] = {
      {"pubs-sql2000.mdf", VersionSetting::kSql2000, 0, 0},
      {"pubs-sql2005.mdf", VersionSetting::kSql2005, 0, 0},
      {"pubs-sql2008.mdf", VersionSetting::kSql2005, 0, 0},
      {"qlsinhvien-sql2008.mdf", VersionSetting::kSql2005, 0, 0},
      {"webbanhang-sql2012.mdf", VersionSetting::kSql2005, 0, 0},
      {"school-sql2016.mdf", VersionSetting::kSql2005, 0, 0},
      {"articles-sql2019.mdf", VersionSetting::kSql2005, 0, 0},
      {"fixture-every-type-2000.mdf", VersionSetting::kSql2000, 0, 0},
      {"fixture-every-type-2005.mdf", VersionSetting::kSql2005, 0, 0},
      {"fixture-every-type-2008.mdf", VersionSetting::kSql2005, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string file = c.file;
    Bytes bytes;
    if (file == "fixture-every-type-2000.mdf") {
      bytes = fixtures::user_rows::BuildEveryTypeDatabase2000().file.Image();
    } else if (file.rfind("fixture-every-type-", 0) == 0) {
      bytes = fixtures::user_rows::BuildEveryTypeDatabase2005(
                  file.find("2005") != std::string::npos ? fixtures::FormatVersion::kSql2005
                                                         : fixtures::FormatVersion::kSql2008)
                  .built.file.Image();
    } else {
      std::optional<std::string> path = testing::RealDataFile(c.file);
      if (!path) {
        std::printf("real data folder absent: %s skipped\n", c.file);
        continue;
      }
      bytes = testing::FileSnapshot::Of(*path).bytes;
    }
    SinglePageLoss loss = ZeroEachSystemPage(c.file, bytes, c.version);
    EXPECT_GT(loss.pagesTried, 0u) << c.file;
    EXPECT_EQ(loss.pagesLosingRows, c.pagesLosingRows) << c.file;
    EXPECT_EQ(loss.rowsLost, c.rowsLost) << c.file;
    EXPECT_EQ(loss.rowsGained, 0u) << c.file;
    EXPECT_EQ(loss.pagesFailingTheScan, 0u) << c.file;
  }
}

TEST(DamageResilienceTest, DamagedCopiesOfSyntheticFilesKeepTheRowsOfUndamagedPages) {
  Figures total;
  namespace s2000 = fixtures::sql2000;
  namespace s2005 = fixtures::sql2005;
  CheckFile("fixture-2000.mdf", s2000::BuildDatabase2000(s2000::SampleDatabase2000()).Image(),
            VersionSetting::kSql2000, total);
  CheckFile("every-type-2000.mdf", fixtures::user_rows::BuildEveryTypeDatabase2000().file.Image(),
            VersionSetting::kSql2000, total);
  for (auto v : {fixtures::FormatVersion::kSql2005, fixtures::FormatVersion::kSql2008})
    CheckFile(v == fixtures::FormatVersion::kSql2005 ? "every-type-2005.mdf" : "every-type-2008.mdf",
              fixtures::user_rows::BuildEveryTypeDatabase2005(v).built.file.Image(),
              VersionSetting::kSql2005, total);
  total.Print("of the synthetic files");
  EXPECT_GT(total.copies, 20u);
}

}  // namespace
}  // namespace tollamer
