#include "tools/fragment_extraction.h"

#include <algorithm>

#include "engine/pagestore/page_layout.h"
#include "platform/block_devices.h"
#include "tools/backup_conversion.h"
#include "tools/file_detection.h"
#include "engine/pagestore/page_start.h"

namespace tollamer::tools {

using page_layout::kPageSize;
using page_layout::kSectorSize;

ExtractionResult ExtractFragments(const platform::ReadOnlyFile& source,
                                  const std::vector<const Fragment*>& fragments,
                                  platform::OutputFile& out, const std::atomic<bool>& running) {
  ExtractionResult result;
  std::vector<uint8_t> page(kPageSize);
  for (const Fragment* f : fragments) {
    for (const PageSegment& seg : f->segments) {
      for (uint32_t i = 0; i < seg.count; ++i) {
        if (!running.load(std::memory_order_relaxed)) {
          result.stopped = true;
          return result;
        }
        uint64_t sector = seg.sector + uint64_t{i} * kSectorsPerPageOnDisk;
        uint32_t number = seg.firstPage + i;
        ByteView bytes(page);
        if (source.ReadAt(sector * kSectorSize, page) != kPageSize ||
            !IsExcavationPageStart(bytes) || OwnPageNumber(bytes) != number) {
          ++result.pagesSkipped;
          continue;
        }
        if (!out.WriteAt(uint64_t{number} * kPageSize, page)) {
          result.error = out.Error();
          return result;
        }
        result.highestPage = result.pagesWritten == 0 ? number
                                                      : std::max<uint64_t>(result.highestPage, number);
        ++result.pagesWritten;
      }
    }
  }
  result.completed = true;
  return result;
}

ExtractionResult ExtractFragmentsToFile(const std::string& source_path,
                                        const std::vector<const Fragment*>& fragments,
                                        const std::string& out_path,
                                        const std::atomic<bool>& running, EngineMessages& messages) {
  ExtractionResult result;
  if (platform::OutputIsInput(source_path, out_path)) {
    messages.Notify(EngineNotice::kOutputIsInput);
    result.error = platform::kOutputIsInputText;
    return result;
  }
  platform::OpenResult in = platform::OpenSharedReadOnly(source_path);
  if (!in.file) {
    messages.Notify(EngineNotice::kFileOpenFailed);
    result.error = in.message;
    return result;
  }
  platform::CreateResult out = platform::CreateOutputFile(out_path);
  if (!out.file) {
    messages.Notify(EngineNotice::kDataFileCreateFailed);
    result.error = out.message;
    return result;
  }
  result = ExtractFragments(*in.file, fragments, *out.file, running);
  if (result.stopped) return result;
  if (result.completed && !out.file->Commit()) {
    result.completed = false;
    result.error = out.file->Error();
  }
  if (!result.completed) messages.Notify(EngineNotice::kDataFileWriteFailed);
  return result;
}

namespace {

bool HoldsPage(const Fragment& f, uint32_t page) {
  for (const PageSegment& seg : f.segments)
    if (page >= seg.firstPage && page - seg.firstPage < seg.count) return true;
  return false;
}

bool SharesAPage(const std::vector<const Fragment*>& group, const Fragment& f) {
  for (const Fragment* g : group)
    for (const PageSegment& a : g->segments)
      for (const PageSegment& b : f.segments) {
        const uint64_t a_end = uint64_t{a.firstPage} + a.count;
        const uint64_t b_end = uint64_t{b.firstPage} + b.count;
        if (a.firstPage < b_end && b.firstPage < a_end) return true;
      }
  return false;
}

}  // namespace

std::vector<std::vector<const Fragment*>> GroupByDatabase(
    const std::vector<const Fragment*>& fragments) {
  std::vector<std::vector<const Fragment*>> groups;
  for (const Fragment* f : fragments)
    if (HoldsPage(*f, 0)) groups.push_back({f});
  const size_t headed = groups.size();
  std::vector<std::vector<const Fragment*>> own;
  for (const Fragment* f : fragments) {
    if (HoldsPage(*f, 0)) continue;
    if (headed <= 1) {
      if (groups.empty()) groups.emplace_back();
      if (!SharesAPage(groups[0], *f)) {
        groups[0].push_back(f);
        continue;
      }
    }
    own.push_back({f});
  }
  groups.insert(groups.end(), own.begin(), own.end());
  return groups;
}

std::string GroupOutputPath(const std::string& out_path, size_t index, size_t count) {
  if (count <= 1) return out_path;
  const size_t slash = out_path.find_last_of('/');
  size_t dot = out_path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1))
    dot = out_path.size();
  return out_path.substr(0, dot) + "-" + std::to_string(index + 1) + out_path.substr(dot);
}

std::vector<const Fragment*> CheckedFragments(const std::vector<Fragment>& fragments) {
  std::vector<const Fragment*> out;
  for (const Fragment& f : fragments)
    if (f.checked) out.push_back(&f);
  return out;
}

}  // namespace tollamer::tools
