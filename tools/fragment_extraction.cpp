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
  platform::OpenResult in = platform::OpenSharedReadOnly(source_path);
  if (!in.file) {
    messages.ShowStop(kOpenFileErrorMessage);
    result.error = in.message;
    return result;
  }
  platform::CreateResult out = platform::CreateOutputFile(out_path);
  if (!out.file) {
    messages.ShowStop(kDataFileCreateFailedMessage);
    result.error = out.message;
    return result;
  }
  result = ExtractFragments(*in.file, fragments, *out.file, running);
  if (result.stopped) return result;
  if (result.completed && !out.file->Commit()) {
    result.completed = false;
    result.error = out.file->Error();
  }
  if (!result.completed) messages.ShowStop(kDataFileWriteFailedMessage);
  return result;
}

std::vector<const Fragment*> CheckedFragments(const std::vector<Fragment>& fragments) {
  std::vector<const Fragment*> out;
  for (const Fragment& f : fragments)
    if (f.checked) out.push_back(&f);
  return out;
}

}  // namespace tollamer::tools
