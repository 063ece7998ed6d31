// Fragments: runs of pages that lie on the source in the order of their own
// page numbers. A page at sector p with number n continues the run whose
// last page (sector q, number m) satisfies p - q = 16 * (n - m), so that
// whole missing pages inside a run are allowed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tollamer::tools {

inline constexpr uint64_t kSectorsPerPageOnDisk = 16;

// Pages found one after another: `count` pages from sector `sector` on,
// every 16 sectors, numbered from `firstPage`.
struct PageSegment {
  uint64_t sector = 0;
  uint32_t firstPage = 0;
  uint32_t count = 0;
};

struct Fragment {
  int number = 0;
  uint64_t firstSector = 0;
  uint64_t lastSector = 0;
  uint32_t firstPage = 0;
  uint32_t lastPage = 0;
  std::string extra;                  // column 4, "" when not shown
  std::vector<PageSegment> segments;  // the pages actually found
  bool checked = false;

  uint64_t PagesFound() const;
};

// The list columns.
std::string FragmentNumberText(const Fragment& f);   // "%d"
std::string FragmentSectorsText(const Fragment& f);  // "first-last"
std::string FragmentSizeText(const Fragment& f);     // "%.1f KB" / MB / GB, "" from 1024 GB
std::string FragmentPagesText(const Fragment& f);    // "first-last"

// Builds runs from pages in the order they are found and hands every
// finished run to `sink`.
class RunBuilder {
 public:
  explicit RunBuilder(std::function<void(Fragment)> sink) : sink_(std::move(sink)) {}

  // Places the page found at sector `position` with number `page`;
  // `page_extra` is the page's extension text (pages 0 and 32 only).
  void Place(uint64_t position, uint32_t page, const std::string& page_extra);
  // Lists the run in progress, if any.
  void Finish();
  bool Empty() const { return current_.segments.empty(); }

 private:
  void List();

  std::function<void(Fragment)> sink_;
  Fragment current_;
  uint64_t last_position_ = 0;
  uint32_t last_page_ = 0;
  std::string accumulated_;
  int counter_ = 0;
};

// The row commands: check every row, or every selected row.
void CheckAll(std::vector<Fragment>& fragments);
void CheckSelected(std::vector<Fragment>& fragments, const std::vector<size_t>& selected_rows);

// The list as CSV (UTF-8, "\r\n" line ends): the five columns with a header
// line, one row per fragment, plus whether it is checked.
std::string FragmentListCsv(const std::vector<Fragment>& fragments);

}  // namespace tollamer::tools
