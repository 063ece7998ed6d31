// Opening a full backup in place: PageStore::OpenFile maps every page image
// of the backup in one sequential pass over its sectors. A generated backup
// of 1 GiB (the big-table data file wrapped as SQL Server writes a backup:
// tape headers, then the allocated pages in runs of at most 64 with a
// 512-byte stream header between runs, then the first four pages again) is
// opened with a warm and a cold page cache, against `cat FILE > /dev/null`
// in the same run. The target: within 1.2 times cat.
//
// The same pages written as a backup striped over two files (extents dealt
// as the test fixtures deal them) are then opened together by
// `tollamer-cli info S1 S2`, against `tollamer-cli info` of the one-file
// backup: time and peak memory of the merged open.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "bench/cli_process.h"
#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/page_store.h"
#include "tests/fixtures/file_builder.h"

namespace {

using namespace tollamer;

constexpr uint32_t kBaseOffset = 0x4000;  // where the first page image starts
constexpr size_t kPage = page_layout::kPageSize;
constexpr size_t kRunPages = 64;

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The data file's pages (all-zero ones left out, as a backup leaves out
// unallocated extents) in the backup layout, or those of stripe `stripe` of
// `stripes`; the number of pages written.
uint64_t WrapAsBackup(const std::string& mdf, const std::string& bak, uint16_t stripes = 1,
                      uint16_t stripe = 1) {
  // The tape headers up to the first page: those of an empty database.
  fixtures::Bytes head = fixtures::FileBuilder(0).BackupImage(kBaseOffset, stripes, stripe);
  head.resize(kBaseOffset);
  std::FILE* in = std::fopen(mdf.c_str(), "rb");
  std::FILE* out = std::fopen(bak.c_str(), "wb");
  if (!in || !out) {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    return 0;
  }
  bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
  std::vector<uint8_t> stream_header(512, 0);
  std::copy_n("MQDA", 4, stream_header.begin());
  std::vector<uint8_t> page(kPage);
  std::vector<std::vector<uint8_t>> first_four;
  uint64_t written = 0, n = 0;
  size_t in_run = 0;
  int64_t previous = -2;
  for (; ok && std::fread(page.data(), 1, kPage, in) == kPage; ++n) {
    if (n < 4) first_four.push_back(page);
    if (std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0; })) continue;
    if (stripes > 1 && fixtures::FileBuilder::StripeOf(static_cast<uint32_t>(n), stripes) != stripe)
      continue;
    if (in_run == kRunPages || (written > 0 && previous + 1 != static_cast<int64_t>(n))) {
      ok = std::fwrite(stream_header.data(), 1, 512, out) == 512;
      in_run = 0;
    }
    ok = ok && std::fwrite(page.data(), 1, kPage, out) == kPage;
    previous = static_cast<int64_t>(n);
    ++in_run;
    ++written;
  }
  ok = ok && std::fwrite(stream_header.data(), 1, 512, out) == 512;
  if (stripe == 1)
    for (const auto& p : first_four) ok = ok && std::fwrite(p.data(), 1, kPage, out) == kPage;
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  return ok ? written : 0;
}

void Measure(const std::string& path, uint64_t pages, bool cold) {
  const double mib = std::filesystem::file_size(path) / double(1 << 20);
  if (cold) bench::DropPageCache();
  else bench::CatSeconds(path);  // warm the page cache for both sides
  const double cat = bench::CatSeconds(path);
  if (cold) bench::DropPageCache();
  SilentMessages messages;
  PageStore store(messages);
  auto start = std::chrono::steady_clock::now();
  const bool opened = store.OpenFile(path);
  const double open = Seconds(start);
  if (!opened || store.Kind() != FileKind::kBackup || store.PagesHeld() != pages) {
    std::fprintf(stderr, "open failed or wrong page count: %llu held of %llu\n",
                 static_cast<unsigned long long>(store.PagesHeld()),
                 static_cast<unsigned long long>(pages));
    return;
  }
  store.Close();
  std::printf("%s page cache: cat %.3f s (%.1f MiB/s), open %.3f s (%.1f MiB/s), ratio %.2f\n",
              cold ? "cold" : "warm", cat, mib / cat, open, mib / open, open / cat);
  const char* against = cold ? "cat, cold cache" : "cat, warm cache";
  bench::PrintResult(cold ? "cat FILE > /dev/null (cold)" : "cat FILE > /dev/null (warm)", mib,
                     cat, -1, "-", 0);
  bench::PrintResult(cold ? "open .bak (page map, cold)" : "open .bak (page map, warm)", mib, open,
                     open / cat, against);
}

// `tollamer-cli info` of the one-file backup and of its two stripes
// together, warm cache: the page census reads every page either way.
void MeasureMerged(const std::string& bak, const std::vector<std::string>& stripes) {
  const double mib = std::filesystem::file_size(bak) / double(1 << 20);
  bench::CatSeconds(bak);
  for (const std::string& s : stripes) bench::CatSeconds(s);
  std::vector<std::string> merged_args = {"info"};
  merged_args.insert(merged_args.end(), stripes.begin(), stripes.end());
  const bench::CliRun single = bench::RunCliProcess(TOLLAMER_CLI_PATH, {"info", bak}, "/dev/null");
  const bench::CliRun merged = bench::RunCliProcess(TOLLAMER_CLI_PATH, merged_args, "/dev/null");
  if (single.seconds < 0 || merged.seconds < 0) {
    std::fprintf(stderr, "tollamer-cli info failed\n");
    return;
  }
  bench::PrintResult("info .bak, one file (warm)", mib, single.seconds, -1, "-", single.peakMiB);
  bench::PrintResult("info .bak, 2 stripes merged (warm)", mib, merged.seconds,
                     merged.seconds / single.seconds, "one file", merged.peakMiB);
}

}  // namespace

// bench/backup_open_bench [FOLDER] [GiB]
int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  const double gib = argc > 2 ? std::stod(argv[2]) : 1.0;
  const uint64_t bytes = static_cast<uint64_t>(gib * (1ull << 30));
  const std::string mdf = folder + "/tollamer-bench-backup-source.mdf";
  const std::string bak = folder + "/tollamer-bench-" + std::to_string(bytes >> 20) + "MiB.bak";
  if (bench::WriteBigTableFile(mdf, bytes).path.empty()) {
    std::fprintf(stderr, "cannot write %s\n", mdf.c_str());
    return 1;
  }
  const uint64_t pages = WrapAsBackup(mdf, bak);
  std::vector<std::string> stripes;
  uint64_t striped_pages = 0;
  for (uint16_t s = 1; s <= 2; ++s) {
    stripes.push_back(folder + "/tollamer-bench-stripe" + std::to_string(s) + ".bak");
    striped_pages += WrapAsBackup(mdf, stripes.back(), 2, s);
  }
  std::filesystem::remove(mdf);
  if (pages == 0) {
    std::fprintf(stderr, "cannot write %s\n", bak.c_str());
    return 1;
  }
  std::printf("backup %s: %llu page images, %.0f MiB\n", bak.c_str(),
              static_cast<unsigned long long>(pages), std::filesystem::file_size(bak) / double(1 << 20));
  Measure(bak, pages, false);
  if (bench::DropPageCache()) Measure(bak, pages, true);
  if (striped_pages == pages) MeasureMerged(bak, stripes);
  else std::fprintf(stderr, "the stripes hold %llu pages, not %llu\n",
                    static_cast<unsigned long long>(striped_pages), static_cast<unsigned long long>(pages));
  if (!std::getenv("TOLLAMER_BENCH_KEEP")) {
    std::filesystem::remove(bak);
    for (const std::string& s : stripes) std::filesystem::remove(s);
  }
  return 0;
}
