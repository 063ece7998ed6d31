#include "cli/detect_command.h"

#include <atomic>
#include <cctype>
#include <filesystem>

#include "cli/cli_exit.h"
#include "cli/output_guard.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/progress_reporter.h"
#include "cli/json.h"
#include "tools/file_detection.h"
#include "tools/page_map_png.h"

namespace tollamer::cli {

namespace {

class Progress final : public tools::DetectionObserver {
 public:
  void OnProgress(int percent, const tools::KindCounts&) override { bar.Percent(percent); }
  ProgressReporter bar{"detect"};
};

// The census order of the detection dialog.
constexpr tools::PageKind kShownOrder[] = {
    tools::PageKind::kData,   tools::PageKind::kIndex,  tools::PageKind::kNull,
    tools::PageKind::kErr,    tools::PageKind::kBoot,   tools::PageKind::kLob,
    tools::PageKind::kMlMap,  tools::PageKind::kDiffMap, tools::PageKind::kSgam,
    tools::PageKind::kGam,    tools::PageKind::kPfs,    tools::PageKind::kFileHeader,
    tools::PageKind::kIam};

// A kind's name as a JSON key: lower case, words joined by '_'.
std::string JsonKey(std::string_view name) {
  std::string key;
  for (unsigned char c : name) key.push_back(c == ' ' ? '_' : static_cast<char>(std::tolower(c)));
  return key;
}

}  // namespace

int RunDetect(const DetectOptions& options) {
  if (RefuseOutputOverInput(options.path, options.mapPath) ||
      RefuseExisting(FirstExistingPath({options.mapPath}), options.force))
    return kExitUsage;
  CliMessages messages;
  std::atomic<bool> running{true};
  Progress progress;
  tools::DetectionResult r = tools::DetectFile(options.path, running, progress, messages);
  progress.bar.Done();
  if (!r.opened) {
    Error("cannot read %s\n", options.path.c_str());
    return 1;
  }
  auto count = [&](tools::PageKind k) { return r.counts[tools::KindIndex(k)]; };
  if (options.json) {
    std::string out = "{\"pages\": " + std::to_string(r.pages) + ", \"counts\": {";
    for (size_t i = 0; i < tools::kPageKindCount; ++i) {
      if (i) out += ", ";
      out += JsonString(JsonKey(tools::KindName(tools::KindAt(i)))) + ": " +
             std::to_string(r.counts[i]);
    }
    std::printf("%s}}\n", out.c_str());
  } else {
    std::printf("file:  %s\n", std::filesystem::path(options.path).filename().string().c_str());
    std::printf("size:  %llu KB\n", static_cast<unsigned long long>(r.fileBytes / 1024));
    std::printf("pages: %llu\n", static_cast<unsigned long long>(r.pages));
    for (tools::PageKind k : kShownOrder) {
      const std::string label = std::string(tools::KindName(k)) + " page:";
      std::printf("%-18s %llu", label.c_str(), static_cast<unsigned long long>(count(k)));
      if (k == tools::PageKind::kNull || k == tools::PageKind::kErr)
        std::printf(" (%s)", tools::SharePercentText(count(k), r.pages).c_str());
      std::printf("\n");
    }
  }
  if (!options.mapPath.empty()) {
    std::string error;
    if (!tools::SavePageMapPng(r.map, options.mapPath, error)) {
      Error("cannot write %s: %s\n", options.mapPath.c_str(), error.c_str());
      return 1;
    }
    if (!options.json)
      std::printf("page map: %s (%zu cells, %llu pages per cell)\n", options.mapPath.c_str(),
                  r.map.cells.size(), static_cast<unsigned long long>(r.map.pagesPerCell));
  }
  return 0;
}

}  // namespace tollamer::cli
