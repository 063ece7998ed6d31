#include "cli/excavate_command.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "cli/cli_exit.h"
#include "cli/output_guard.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/progress_reporter.h"
#include "cli/json.h"
#include "platform/block_devices.h"
#include "tools/file_system.h"
#include "tools/fragment_extraction.h"
#include "tools/fragment_runs.h"
#include "tools/fragment_search.h"

namespace tollamer::cli {

namespace {

constexpr int kExitRead = kExitCannotRead;
constexpr uint64_t kDefaultCluster = 8;

class Progress final : public tools::SearchObserver {
 public:
  void OnProgress(int percent) override { bar.Percent(percent); }
  ProgressReporter bar{"excavate"};
};

// The extra text of a fragment in English: its file header tags carry the
// desktop program's word for the size.
std::string EnglishExtra(std::string extra) {
  constexpr std::string_view kSizeTag = "[大小:";
  for (size_t at = extra.find(kSizeTag); at != std::string::npos; at = extra.find(kSizeTag, at))
    extra.replace(at, kSizeTag.size(), "[size:");
  return extra;
}

// The fragment list as CSV, with English column titles.
std::string FragmentCsv(const std::vector<tools::Fragment>& fragments) {
  std::vector<tools::Fragment> english = fragments;
  for (tools::Fragment& f : english) f.extra = EnglishExtra(f.extra);
  std::string csv = tools::FragmentListCsv(english);
  return "fragment,sectors,size,pages,extra,checked" + csv.substr(csv.find("\r\n"));
}

std::string FragmentJson(const tools::Fragment& f) {
  const uint64_t bytes = (f.lastSector + tools::kSectorsPerPageOnDisk - f.firstSector) * 512;
  return "{\"number\": " + std::to_string(f.number) +
         ", \"first_sector\": " + std::to_string(f.firstSector) +
         ", \"last_sector\": " + std::to_string(f.lastSector) +
         ", \"size_bytes\": " + std::to_string(bytes) +
         ", \"first_page\": " + std::to_string(f.firstPage) +
         ", \"last_page\": " + std::to_string(f.lastPage) +
         ", \"extra\": " + JsonString(EnglishExtra(f.extra)) + "}";
}

}  // namespace

int RunExcavate(const ExcavateOptions& o) {
  if (!o.extract.empty() && o.outPath.empty()) {
    Error("--extract needs --out\n");
    return kExitUsage;
  }
  if (RefuseOutputOverInput(o.source, o.csvPath) || RefuseOutputOverInput(o.source, o.outPath) ||
      RefuseExisting(FirstExistingPath({o.csvPath}), o.force))
    return kExitUsage;
  if (o.cluster && *o.cluster == 0) {
    Error("%s\n", tools::kClusterZeroText);
    return kExitUsage;
  }
  platform::OpenResult open = platform::OpenSharedReadOnly(o.source);
  if (!open.file) {
    Error("cannot read %s: %s\n", o.source.c_str(), open.message.c_str());
    return kExitRead;
  }
  uint64_t source_sectors = open.file->Length() / 512;
  tools::Recognition fs = tools::RecognizeFileSystem(*open.file, o.start);
  if (o.freeOnly && !fs.freeClustersAllowed) {
    Error("no NTFS, FAT32 or FAT16 file system at sector %llu: "
          "--free-only cannot be used\n", static_cast<unsigned long long>(o.start));
    return kExitUsage;
  }
  tools::SearchParams params;
  params.startSector = o.start;
  params.clusterField = o.cluster.value_or(fs.clusterField.value_or(kDefaultCluster));
  params.sizeSectors = o.size.value_or(
      fs.sizeField.value_or(source_sectors > o.start ? source_sectors - o.start : 0));
  params.freeClustersOnly = o.freeOnly;
  if (params.clusterField == 0) params.clusterField = kDefaultCluster;  // a boot sector saying 0
  if (!o.json && fs.fs.kind != tools::FileSystemKind::kNone)
    Note("file system at sector %llu: %s, cluster %llu sectors, size %llu sectors\n",
         static_cast<unsigned long long>(o.start),
         std::string(tools::FileSystemName(fs.fs.kind)).c_str(),
         static_cast<unsigned long long>(params.clusterField),
         static_cast<unsigned long long>(params.sizeSectors));

  CliMessages messages;
  std::atomic<bool> running{true};
  Progress progress;
  tools::SearchResult r = tools::SearchFragments(*open.file, params, running, progress, messages);
  progress.bar.Done();
  if (!r.ran) {
    Error("search failed: %s\n", r.error.c_str());
    return kExitRead;
  }

  if (o.json) {
    std::string out = "[";
    for (size_t i = 0; i < r.fragments.size(); ++i)
      out += (i ? ", " : "") + FragmentJson(r.fragments[i]);
    std::printf("%s]\n", out.c_str());
  } else {
    std::printf("fragment\tsectors\tsize\tpages\textra\n");
    for (const tools::Fragment& f : r.fragments)
      std::printf("%s\t%s\t%s\t%s\t%s\n", tools::FragmentNumberText(f).c_str(),
                  tools::FragmentSectorsText(f).c_str(), tools::FragmentSizeText(f).c_str(),
                  tools::FragmentPagesText(f).c_str(), EnglishExtra(f.extra).c_str());
  }

  if (!o.extract.empty()) {
    if (o.extract == "all") {
      tools::CheckAll(r.fragments);
    } else {
      char* end = nullptr;
      unsigned long n = std::strtoul(o.extract.c_str(), &end, 10);
      if (o.extract.empty() || *end != '\0' || n >= r.fragments.size()) {
        Error("no fragment %s (%zu found)\n", o.extract.c_str(),
              r.fragments.size());
        return kExitUsage;
      }
      tools::CheckSelected(r.fragments, {n});
    }
  }
  // Pages of different databases never share a file: one file each.
  std::vector<std::vector<const tools::Fragment*>> groups;
  if (!o.extract.empty()) {
    groups = tools::GroupByDatabase(tools::CheckedFragments(r.fragments));
    std::vector<std::string> paths;
    for (size_t i = 0; i < groups.size(); ++i) {
      paths.push_back(tools::GroupOutputPath(o.outPath, i, groups.size()));
      if (RefuseOutputOverInput(o.source, paths.back())) return kExitUsage;
    }
    if (RefuseExisting(FirstExistingPath(paths), o.force)) return kExitUsage;
  }
  if (!o.csvPath.empty()) {
    std::string csv = FragmentCsv(r.fragments);
    platform::CreateResult out = platform::CreateOutputFile(o.csvPath);
    if (!out.file || !out.file->Write({reinterpret_cast<const uint8_t*>(csv.data()), csv.size()}) ||
        !out.file->Commit()) {
      Error("cannot write %s\n", o.csvPath.c_str());
      return kExitRead;
    }
  }
  if (!o.extract.empty()) {
    if (groups.empty()) {
      Error("no fragment of a data file found: nothing extracted\n");
      return kExitRead;
    }
    std::FILE* report = o.json ? stderr : stdout;
    if (groups.size() > 1)
      std::fprintf(report, "the fragments belong to %zu data files: one file each\n", groups.size());
    for (size_t i = 0; i < groups.size(); ++i) {
      const std::string path = tools::GroupOutputPath(o.outPath, i, groups.size());
      tools::ExtractionResult x =
          tools::ExtractFragmentsToFile(o.source, groups[i], path, running, messages);
      if (!x.completed) {
        Error("extraction into %s failed: %s\n", path.c_str(),
              x.error.c_str());
        return kExitRead;
      }
      std::string numbers;
      for (const tools::Fragment* f : groups[i])
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(f->number);
      std::fprintf(report, "extracted %llu pages (%llu skipped) into %s (fragment%s %s)\n",
                   static_cast<unsigned long long>(x.pagesWritten),
                   static_cast<unsigned long long>(x.pagesSkipped), path.c_str(),
                   groups[i].size() > 1 ? "s" : "", numbers.c_str());
    }
  }
  return 0;
}

}  // namespace tollamer::cli
