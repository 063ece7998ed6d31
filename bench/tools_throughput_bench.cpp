// Detection and plain fragment search throughput on a generated file of
// 2 GiB, as ratios against reading the same file with `cat FILE > /dev/null`
// in the same run. The file is removed afterwards.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_result.h"
#include "engine/pagestore/engine_messages.h"
#include "engine/pagestore/page_layout.h"
#include "tools/file_detection.h"
#include "tools/fragment_search.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// Pages with a header every fourth page, the rest zero or noise.
bool Generate(const std::string& path, uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<uint8_t> block(size_t{4} << 20);
  uint64_t page = 0;
  for (uint64_t done = 0; done < bytes; done += block.size()) {
    for (size_t at = 0; at < block.size(); at += tollamer::page_layout::kPageSize, ++page) {
      uint8_t* p = block.data() + at;
      std::fill(p, p + tollamer::page_layout::kPageSize, static_cast<uint8_t>(page % 3 == 0 ? 0 : page * 37));
      if (page % 4 == 0) {
        std::fill(p, p + tollamer::page_layout::kHeaderSize, 0);
        p[0] = 1;
        p[1] = 1;
        p[0x20] = static_cast<uint8_t>(page);
        p[0x21] = static_cast<uint8_t>(page >> 8);
        p[0x22] = static_cast<uint8_t>(page >> 16);
        p[0x24] = 1;
      }
    }
    if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
      std::fclose(f);
      return false;
    }
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  std::string path = dir + "/tollamer-bench.bin";
  const uint64_t bytes = uint64_t{2} << 30;
  if (!Generate(path, bytes)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  auto t = Clock::now();
  if (std::system(("cat '" + path + "' > /dev/null").c_str()) != 0) return 1;
  double cat_s = Seconds(t);

  std::atomic<bool> running{true};
  tollamer::SilentMessages messages;
  tollamer::tools::DetectionObserver detect_observer;
  t = Clock::now();
  tollamer::tools::DetectionResult d = tollamer::tools::DetectFile(path, running, detect_observer, messages);
  double detect_s = Seconds(t);

  tollamer::tools::SearchObserver search_observer;
  tollamer::tools::SearchParams params;
  params.sizeSectors = bytes / 512;
  params.clusterField = 16;
  t = Clock::now();
  tollamer::tools::SearchResult s =
      tollamer::tools::SearchFragmentsInFile(path, params, running, search_observer, messages);
  double search_s = Seconds(t);
  std::filesystem::remove(path);

  std::printf("file: 2 GiB, %llu pages, %zu fragments\n", static_cast<unsigned long long>(d.pages),
              s.fragments.size());
  std::printf("cat:        %.2f s (baseline)\n", cat_s);
  std::printf("detection:  %.2f s, %.2fx cat\n", detect_s, detect_s / cat_s);
  std::printf("excavation: %.2f s, %.2fx cat (plain search, unit 16)\n", search_s, search_s / cat_s);
  const double mib = bytes / double(1 << 20);
  tollamer::bench::PrintResult("cat FILE > /dev/null", mib, cat_s, -1, "-");
  tollamer::bench::PrintResult("detect (page census)", mib, detect_s, detect_s / cat_s, "cat");
  tollamer::bench::PrintResult("excavate (plain search)", mib, search_s, search_s / cat_s, "cat");
  return 0;
}
