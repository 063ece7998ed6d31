#include "tools/file_detection.h"

#include <gtest/gtest.h>

#include <array>
#include <zlib.h>

#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"
#include "tools/page_map_png.h"

namespace tollamer::tools {
namespace {

using namespace page_layout;
using fixtures::Bytes;
using fixtures::PageBuilder;

Bytes ValidPage(uint8_t type) {
  PageBuilder b(PageType::kData, 7);
  b.ObjId(5);
  Bytes page = b.Build();
  page[kType] = type;
  return page;
}

TEST(PageCensusTest, KnownTypesHaveTheirKindEmptyAndDamagedPagesAreTold) {
  const std::pair<uint8_t, PageKind> known[] = {
      {1, PageKind::kData},      {2, PageKind::kIndex},    {3, PageKind::kLob},
      {4, PageKind::kLob},       {8, PageKind::kGam},      {9, PageKind::kSgam},
      {10, PageKind::kIam},      {11, PageKind::kPfs},     {13, PageKind::kBoot},
      {15, PageKind::kFileHeader}, {16, PageKind::kDiffMap}, {17, PageKind::kMlMap}};
  for (auto [type, kind] : known) EXPECT_EQ(ClassifyPage(ValidPage(type)), kind) << int(type);
  for (uint8_t type : {6, 7, 14, 18, 255}) EXPECT_EQ(ClassifyPage(ValidPage(type)), PageKind::kErr) << int(type);

  Bytes zero(kPageSize, 0);
  EXPECT_EQ(ClassifyPage(zero), PageKind::kNull);
  // Zero header bytes 0 and 1 but a non-zero tail: damaged, not empty.
  Bytes tail = zero;
  tail[0x1FFA] = 1;
  EXPECT_EQ(ClassifyPage(tail), PageKind::kErr);
  // Some header words non-zero is still empty while one of them is zero.
  Bytes junk = zero;
  for (size_t i = 8; i < 96; ++i) junk[i] = 0x55;
  junk[0x18] = junk[0x19] = junk[0x1A] = junk[0x1B] = 0;
  for (size_t i = 0x20; i < 0x26; ++i) junk[i] = 0;
  EXPECT_EQ(ClassifyPage(junk), PageKind::kNull);
  // A non-zero object id makes it no longer empty.
  junk[0x18] = 1;
  EXPECT_EQ(ClassifyPage(junk), PageKind::kErr);

  // Another file's page, a reserved byte set, header version 2.
  for (auto [at, value] : {std::pair<size_t, uint8_t>{kFileId, 2}, {0x5F, 1}, {kHeaderVersion, 2}}) {
    Bytes page = ValidPage(1);
    page[at] = value;
    EXPECT_EQ(ClassifyPage(page), PageKind::kErr) << at;
  }
  EXPECT_EQ(ClassifyPage(Bytes(100, 0)), PageKind::kErr);  // not a whole page
}

class CountingObserver : public DetectionObserver {
 public:
  void OnProgress(int percent, const KindCounts&) override { last = percent, ++calls; }
  void OnFinished(const DetectionResult&) override { finished = true; }
  int last = -1, calls = 0;
  bool finished = false;
};

// The valid pages of these types, one after another.
Bytes PagesOf(std::initializer_list<uint8_t> types) {
  Bytes file;
  for (uint8_t t : types) {
    Bytes p = ValidPage(t);
    file.insert(file.end(), p.begin(), p.end());
  }
  return file;
}

DetectionResult Detect(Bytes file, CountingObserver& observer, uint64_t fail_from = UINT64_MAX,
                       size_t max_map_cells = kMaxMapCells) {
  fixtures::MemorySource source(std::move(file), fail_from);
  std::atomic<bool> running{true};
  return DetectPages(source, running, observer, max_map_cells);
}

TEST(FileDetectionTest, CountsWholePagesOnlyAFailedReadAsDamagedAndAMissingFileIsNamed) {
  Bytes file = PagesOf({15, 11, 8, 9, 1, 1, 2, 3});
  file.resize(file.size() + 2 * kPageSize, 0);  // two empty pages
  file.resize(file.size() + 4000, 0x77);         // a trailing partial page
  CountingObserver observer;
  DetectionResult r = Detect(file, observer);
  EXPECT_EQ(r.pages, 10u);
  EXPECT_EQ(r.pagesScanned, 10u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kData)], 2u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kNull)], 2u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kErr)], 0u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kFileHeader)], 1u);
  EXPECT_TRUE(observer.finished);
  EXPECT_EQ(observer.last, 100);
  EXPECT_EQ(SharePercentText(2, 10), "20.0%");
  EXPECT_EQ(SharePercentText(1, 3), "33.3%");
  CountingObserver small;
  DetectionResult none = Detect(Bytes(8191, 0), small);
  EXPECT_EQ(none.pages, 0u);
  EXPECT_TRUE(small.finished);
  EXPECT_TRUE(none.map.cells.empty());

  // Reads fail from the middle of page 2 on: damaged, not the previous page again.
  r = Detect(PagesOf({1, 1, 1, 1}), observer, 2 * kPageSize + 100);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kData)], 2u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kErr)], 2u);

  RecordingMessages messages;
  std::atomic<bool> running{true};
  EXPECT_FALSE(DetectFile("/nonexistent/x.mdf", running, observer, messages).opened);
  EXPECT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kFileOpenFailed});
}

TEST(PageMapTest, GroupsShowDamageFirstThenTheCommonestKind) {
  Bytes file = PagesOf({1, 2, 2});
  file.resize(file.size() + kPageSize, 0);
  Bytes rest = PagesOf({1, 6});
  file.insert(file.end(), rest.begin(), rest.end());
  file.resize(file.size() + 3 * kPageSize, 0);
  CountingObserver observer;
  DetectionResult r = Detect(file, observer, UINT64_MAX, 3);
  EXPECT_EQ(r.map.pagesPerCell, 3u);
  ASSERT_EQ(r.map.cells.size(), 3u);
  // 9 pages in groups of 3: {data, index, index} {null, data, err} {null, null, null}
  EXPECT_EQ(r.map.cells[0], PageKind::kIndex);
  EXPECT_EQ(r.map.cells[1], PageKind::kErr);
  EXPECT_EQ(r.map.cells[2], PageKind::kNull);
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST(PageMapTest, ThePictureIsAPngWithOneColouredCellPerMapCellAndALegend) {
  const PageMap map{.cells = {PageKind::kData, PageKind::kErr, PageKind::kNull}};
  std::vector<uint8_t> png = EncodePageMapPng(map, MapPictureLayout{2, 4});  // cells of 4 pixels, 2 a row
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png[1], 'P');
  const size_t width = Be32(png, 16), height = Be32(png, 20);
  EXPECT_GE(width, 8u);   // 2 cells of 4 pixels, widened for the legend
  EXPECT_GT(height, 8u);  // 2 rows of cells, then the legend
  size_t idat_len = Be32(png, 33);
  ASSERT_EQ(std::string(png.begin() + 37, png.begin() + 41), "IDAT");
  const size_t stride = 1 + width * 3;
  std::vector<uint8_t> raw(height * stride);
  uLongf raw_len = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &raw_len, png.data() + 41, idat_len), Z_OK);
  auto pixel = [&](size_t x, size_t y) {
    const uint8_t* p = raw.data() + y * stride + 1 + x * 3;
    return std::array<uint8_t, 3>{p[0], p[1], p[2]};
  };
  auto rgb = [](PageKind kind) {
    Rgb c = KindColour(kind);
    return std::array<uint8_t, 3>{c.r, c.g, c.b};
  };
  EXPECT_EQ(pixel(0, 0), rgb(PageKind::kData));
  EXPECT_EQ(pixel(4, 0), rgb(PageKind::kErr));
  EXPECT_EQ(pixel(0, 4), rgb(PageKind::kNull));
  // Every kind's colour appears in the legend under the cells, also the
  // kinds that the map does not hold.
  for (size_t k = 0; k < tools::kPageKindCount; ++k) {
    bool found = false;
    for (size_t y = 8; y < height && !found; ++y)
      for (size_t x = 0; x < width && !found; ++x) found = pixel(x, y) == rgb(tools::KindAt(k));
    EXPECT_TRUE(found) << tools::KindName(tools::KindAt(k));
  }
}

TEST(FileDetectionTest, RealSql2000FileIsCountedByKind) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2000.mdf");
  RecordingMessages messages;
  std::atomic<bool> running{true};
  CountingObserver observer;
  DetectionResult r = DetectFile(path, running, observer, messages);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.pages, 160u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kFileHeader)], 1u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kBoot)], 1u);
  EXPECT_EQ(r.counts[KindIndex(PageKind::kGam)], 1u);
  EXPECT_GT(r.counts[KindIndex(PageKind::kData)], 20u);
  uint64_t total = 0;
  for (uint64_t c : r.counts) total += c;
  EXPECT_EQ(total, 160u);
}

}  // namespace
}  // namespace tollamer::tools
