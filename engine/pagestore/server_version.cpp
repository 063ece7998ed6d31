#include "engine/pagestore/server_version.h"

#include "engine/pagestore/file_header.h"

#include <iterator>

namespace tollamer {

using namespace page_layout;

namespace {

// System table pages that tell the two formats apart when the boot page is
// unreadable. In 2005 and later, object 7 is sysallocunits, whose records
// have a fixed part of 69 bytes (2005) or 73 bytes (2008); in 7.0/2000,
// object 2 is sysindexes.
constexpr uint32_t kSysallocunitsObject = 7;
constexpr uint16_t kAllocUnitMinLen2005 = 69;
constexpr uint16_t kAllocUnitMinLen2008 = 73;
constexpr uint32_t kSysindexesObject = 2;
// Object 3 is sysrscols from 2008 on; its records have a fixed part of 58
// bytes in 2008 and 2008 R2 and of 54 bytes from 2012 on.
constexpr uint32_t kSysrscolsObject = 3;
constexpr uint16_t kRscolsMinLen2008 = 58;
constexpr uint16_t kRscolsMinLen2012 = 54;
// The clustered base tables of 2005 and later (index 1, which 7.0/2000 data
// pages never carry): object 34 is sysschobjs, with a fixed part of 44
// bytes up to 2008 R2 and 48 from 2012 on; object 41 is syscolpars (45).
// They keep a file with a lost sysallocunits page recognisable.
constexpr uint16_t kClusteredIndex = 1;
constexpr uint32_t kSysschobjsObject = 34;
constexpr uint16_t kSchobjsMinLen2005 = 44;
constexpr uint16_t kSchobjsMinLen2012 = 48;
constexpr uint32_t kSyscolparsObject = 41;
constexpr uint16_t kColparsMinLen = 45;

}  // namespace

namespace {

// The first dbi_version of each release; a release runs up to the next.
struct Release {
  uint16_t from;
  const char* name;
};
constexpr Release kReleases[] = {
    {1, "SQL Server 2000"},   // 7.0 is told apart below
    {600, "SQL Server 2005"},  {655, "SQL Server 2008"},  {660, "SQL Server 2008 R2"},
    {706, "SQL Server 2012"},  {782, "SQL Server 2014"},  {852, "SQL Server 2016"},
    {868, "SQL Server 2017"},  {895, "SQL Server 2019"},  {950, "SQL Server 2022"},
    {998, "SQL Server 2025"},
};
// Versions from here on are newer than any release known here.
constexpr uint16_t kNewerThanKnownFrom = 1050;
constexpr uint16_t kSql70 = 515;
constexpr uint16_t kFirst2005 = 600;

}  // namespace

const char* FormatName(VersionSetting setting) {
  switch (setting) {
    case VersionSetting::kSql2000: return "SQL 2000";
    case VersionSetting::kSql2005: return "SQL 2005 or later";
    case VersionSetting::kNone: break;
  }
  return "none";
}

const char* NewestKnownVersionName() { return std::rbegin(kReleases)->name; }

VersionGuess VersionFromDbiVersion(uint16_t v) {
  VersionGuess g;
  g.dbiVersion = v;
  if (v == 0) return g;
  g.evidence = VersionEvidence::kBootPage;
  g.setting = v < kFirst2005 ? VersionSetting::kSql2000 : VersionSetting::kSql2005;
  for (const Release& r : kReleases)
    if (v >= r.from) g.name = r.name;
  if (v == kSql70) g.name = "SQL Server 7.0";
  g.newerThanKnown = v >= kNewerThanKnownFrom;
  return g;
}

namespace {

std::optional<VersionGuess> FromBootPage(const PageStore& store) {
  std::optional<Page> page = store.ReadPage(kBootPage);
  if (!page) return std::nullopt;
  std::optional<PageHeader> h = PageHeader::Decode(page->view());
  if (!h || h->headerVersion != kValidHeaderVersion || !h->HasType(PageType::kBoot) ||
      h->pageId != kBootPage)
    return std::nullopt;
  ByteView record = page->view().From(kBootRecordOffset);
  std::optional<uint16_t> version = record.U16(kBootDbiVersion);
  if (!version) return std::nullopt;
  VersionGuess g = VersionFromDbiVersion(*version);
  if (g.evidence == VersionEvidence::kNone) return std::nullopt;
  g.createVersion = record.U16(kBootDbiCreateVersion);
  return g;
}

VersionGuess FromDataPages(const PageStore& store) {
  uint64_t alloc2005 = 0, alloc2008 = 0, sysindexes = 0, rscols2008 = 0, rscols2012 = 0;
  uint64_t base2005 = 0, schobjs2012 = 0;
  ForEachHeldPage(store, [&](uint64_t, ByteView bytes) {
    std::optional<PageHeader> h = PageHeader::Decode(bytes);
    if (!h || h->headerVersion != kValidHeaderVersion || !h->HasType(PageType::kData))
      return true;
    if (h->objId == kSysallocunitsObject && h->pminlen == kAllocUnitMinLen2005) ++alloc2005;
    if (h->objId == kSysallocunitsObject && h->pminlen == kAllocUnitMinLen2008) ++alloc2008;
    if (h->objId == kSysindexesObject) ++sysindexes;
    if (h->objId == kSysrscolsObject && h->pminlen == kRscolsMinLen2008) ++rscols2008;
    if (h->objId == kSysrscolsObject && h->pminlen == kRscolsMinLen2012) ++rscols2012;
    if (h->indexId == kClusteredIndex) {
      const bool schobjs = h->objId == kSysschobjsObject &&
                           (h->pminlen == kSchobjsMinLen2005 || h->pminlen == kSchobjsMinLen2012);
      if (schobjs || (h->objId == kSyscolparsObject && h->pminlen == kColparsMinLen)) ++base2005;
      if (schobjs && h->pminlen == kSchobjsMinLen2012) ++schobjs2012;
    }
    return true;
  });
  VersionGuess g;
  if (alloc2005 + alloc2008 + base2005 + rscols2008 + rscols2012 > 0) {
    g.setting = VersionSetting::kSql2005;
    g.name = rscols2012 + schobjs2012 > 0                 ? "SQL Server 2012 or later"
             : alloc2008 + rscols2008 > 0 && alloc2008 >= alloc2005 ? "SQL Server 2008"
             : alloc2005 > 0                               ? "SQL Server 2005"
                                                           : "SQL Server 2005 or 2008";
    g.evidence = VersionEvidence::kDataPages;
  } else if (sysindexes > 0) {
    g.setting = VersionSetting::kSql2000;
    g.name = "SQL Server 7.0/2000";
    g.evidence = VersionEvidence::kDataPages;
  }
  return g;
}

}  // namespace

VersionGuess DetectServerVersion(const PageStore& store) {
  if (!store.IsOpen()) return {};
  if (std::optional<VersionGuess> boot = FromBootPage(store)) return *boot;
  VersionGuess g = FromDataPages(store);
  const std::vector<uint16_t> files = store.FileIds();
  if (g.setting != VersionSetting::kNone || files.empty() || files.front() == kFirstFileId) return g;
  // A secondary file alone: its file header's column count tells the
  // format (23 columns on SQL Server 7.0 and 2000, 45 and more since 2005).
  std::optional<Page> header = store.ReadPage(FirstKeyOf(files.front()));
  if (!header || !FileSizeInPages(header->view())) return g;
  const ByteView v = header->view();
  const uint16_t columns = v.From(v.LeOr<uint16_t>(SlotEntryOffset(0))).LeOr<uint16_t>(kFileHeaderColumns);
  g.setting = columns >= kFileHeaderColumns2005 ? VersionSetting::kSql2005 : VersionSetting::kSql2000;
  g.name = columns >= kFileHeaderColumns2005 ? "SQL Server 2005 or later" : "SQL Server 7.0/2000";
  g.evidence = VersionEvidence::kFileHeader;
  return g;
}

}  // namespace tollamer
