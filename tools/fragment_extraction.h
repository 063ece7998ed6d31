// Extraction of found fragments into a new data file: every page that the
// search found is read again from the source, checked once more, and
// written at its own page number * 8192, the way the backup converter
// places pages. Merged fragments share one file; a page number found in
// two fragments ends up with the later fragment's copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "platform/file.h"
#include "tools/fragment_runs.h"

namespace tollamer::tools {

struct ExtractionResult {
  bool completed = false;
  bool stopped = false;
  uint64_t pagesWritten = 0;
  uint64_t pagesSkipped = 0;  // no longer readable or no longer a page start
  uint64_t highestPage = 0;
  std::string error;
};

// Writes the pages of `fragments` (in order) into `out` (not committed).
ExtractionResult ExtractFragments(const platform::ReadOnlyFile& source,
                                  const std::vector<const Fragment*>& fragments,
                                  platform::OutputFile& out, const std::atomic<bool>& running);

// Opens the source, creates `out_path`, extracts and commits.
ExtractionResult ExtractFragmentsToFile(const std::string& source_path,
                                        const std::vector<const Fragment*>& fragments,
                                        const std::string& out_path,
                                        const std::atomic<bool>& running, EngineMessages& messages);

// The checked fragments of a list, in list order.
std::vector<const Fragment*> CheckedFragments(const std::vector<Fragment>& fragments);

// Fragments sorted into the data files they came from. A data file has one
// page 0 (its file header page), so each fragment holding a page 0 begins a
// database of its own. A fragment without page 0 joins the one database
// when there is exactly one (or begins it when there is none) and holds no
// page number already found there; otherwise nothing tells which database
// it belongs to and it is written to a file of its own.
std::vector<std::vector<const Fragment*>> GroupByDatabase(
    const std::vector<const Fragment*>& fragments);

// The file of group `index` of `count`: `out_path` itself for one group,
// else "-1", "-2", ... inserted before the extension ("x.mdf" -> "x-2.mdf").
std::string GroupOutputPath(const std::string& out_path, size_t index, size_t count);

}  // namespace tollamer::tools
