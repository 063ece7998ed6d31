// The fragment search: reads a raw source (disk, volume area, image) one
// scan unit at a time from a start sector, recognises units that begin a
// SQL Server page (IsExcavationPageStart), reads the file header page of a
// found page 0 and the path text of page 32, and groups the pages into
// fragments (RunBuilder). The free-cluster search reads only the clusters
// that the volume's allocation map marks free.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "platform/file.h"
#include "tools/fragment_runs.h"

namespace tollamer::tools {

inline constexpr char kClusterZeroText[] = "the cluster size cannot be 0";

struct SearchParams {
  uint64_t startSector = 0;
  uint64_t sizeSectors = 0;
  uint64_t clusterField = 8;
  bool freeClustersOnly = false;
};

struct SearchResult {
  bool ran = false;      // the search walked its units (to the end or a stop)
  bool stopped = false;
  std::vector<Fragment> fragments;
  uint64_t unitsRead = 0;     // units whose bytes were read
  uint64_t unitsSkipped = 0;  // units of clusters in use, never read
  std::string error;
};

class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  virtual void OnProgress(int percent) {}            // at most ~30 a second
  virtual void OnFragment(const Fragment& fragment) {}
};

// The scan unit in sectors for a cluster field: 9 or more gives 16 (plain)
// or 8 (free clusters); 1 gives 1; anything else itself. 0 for a field of 0.
uint64_t ScanUnitSectors(uint64_t cluster_field, bool free_clusters_only);

// Runs the search on an open source. `running` is tested once per unit.
SearchResult SearchFragments(const platform::ReadOnlyFile& source, const SearchParams& params,
                             const std::atomic<bool>& running, SearchObserver& observer,
                             EngineMessages& messages);

// Opens `path` for reading (shared) and runs the search; a source that
// cannot be opened says kFileOpenFailed.
SearchResult SearchFragmentsInFile(const std::string& path, const SearchParams& params,
                                   const std::atomic<bool>& running, SearchObserver& observer,
                                   EngineMessages& messages);

}  // namespace tollamer::tools
