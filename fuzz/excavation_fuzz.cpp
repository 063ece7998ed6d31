// The excavator's readers: the file header page tags and the path page,
// the page-start test, the placement of found pages into runs (the input
// read as pairs of sector position and page number), and the fragment
// search itself over the input as a disk image.
#include <atomic>

#include "engine/pagestore/torn_page.h"
#include "fuzz/fuzz_support.h"
#include "tools/file_header_tags.h"
#include "tools/fragment_runs.h"
#include "tools/fragment_search.h"
#include "engine/pagestore/page_start.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  std::vector<uint8_t> page = tollamer::fuzz::FirstPage(input);
  (void)tollamer::tools::ReadFileHeaderTags(page, tollamer::tools::HeaderReading::kStrict);
  (void)tollamer::tools::ReadFileHeaderTags(page, tollamer::tools::HeaderReading::kLenient);
  (void)tollamer::tools::ReadPathText(page);
  (void)tollamer::IsExcavationPageStart(page);

  size_t fragments = 0;
  tollamer::tools::RunBuilder runs([&](tollamer::tools::Fragment f) {
    ++fragments;
    (void)tollamer::tools::FragmentSizeText(f);
    (void)f.PagesFound();
  });
  for (size_t i = 0; i + 8 <= size && i < 8 * 4096; i += 8) {
    uint64_t position = tollamer::fuzz::U32At(input, i) & 0xFFFFFF;
    runs.Place(position, tollamer::fuzz::U32At(input, i + 4), i % 64 == 0 ? "[x]" : "");
  }
  runs.Finish();

  tollamer::fuzz::MemorySource source(input);
  tollamer::tools::SearchParams params;
  params.sizeSectors = size / 512;
  params.clusterField = size > 0 ? 1 + data[size - 1] % 16 : 8;
  std::atomic<bool> running{true};
  tollamer::tools::SearchObserver observer;
  tollamer::SilentMessages messages;
  (void)tollamer::tools::SearchFragments(source, params, running, observer, messages);
  return 0;
}
