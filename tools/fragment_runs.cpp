#include "tools/fragment_runs.h"

#include <cstdio>

namespace tollamer::tools {

uint64_t Fragment::PagesFound() const {
  uint64_t n = 0;
  for (const PageSegment& s : segments) n += s.count;
  return n;
}

std::string FragmentNumberText(const Fragment& f) { return std::to_string(f.number); }

std::string FragmentSectorsText(const Fragment& f) {
  return std::to_string(f.firstSector) + "-" + std::to_string(f.lastSector);
}

std::string FragmentPagesText(const Fragment& f) {
  return std::to_string(f.firstPage) + "-" + std::to_string(f.lastPage);
}

std::string FragmentSizeText(const Fragment& f) {
  double kb = static_cast<double>(f.lastSector + kSectorsPerPageOnDisk - f.firstSector) * 0.5;
  char buf[48];
  if (kb < 1024)
    std::snprintf(buf, sizeof buf, "%.1f KB", kb);
  else if (kb / 1024 < 1024)
    std::snprintf(buf, sizeof buf, "%.1f MB", kb / 1024);
  else if (kb / 1024 / 1024 < 1024)
    std::snprintf(buf, sizeof buf, "%.1f GB", kb / 1024 / 1024);
  else
    return "";
  return buf;
}

void RunBuilder::Place(uint64_t p, uint32_t n, const std::string& page_extra) {
  bool continues = false;
  if (!Empty() && p > last_position_) {
    uint64_t distance = p - last_position_;
    continues = distance % kSectorsPerPageOnDisk == 0 &&
                uint64_t{n} == uint64_t{last_page_} + distance / kSectorsPerPageOnDisk;
  }
  if (!Empty() && !continues) List();

  if (Empty()) {
    current_ = Fragment{};
    current_.firstSector = p;
    current_.firstPage = n;
    current_.segments.push_back({p, n, 1});
  } else {
    PageSegment& last = current_.segments.back();
    if (p == last.sector + kSectorsPerPageOnDisk * last.count && n == last.firstPage + last.count)
      ++last.count;
    else
      current_.segments.push_back({p, n, 1});
  }
  current_.lastSector = p;
  current_.lastPage = n;
  last_position_ = p;
  last_page_ = n;
  if (n == 0 || n == 32) accumulated_ += page_extra;
}

void RunBuilder::Finish() {
  if (!Empty()) List();
}

void RunBuilder::List() {
  current_.number = counter_++;
  bool shown = current_.firstPage == 0 || (current_.firstPage < 33 && current_.lastPage >= 32);
  current_.extra = shown ? accumulated_ : std::string();
  accumulated_.clear();
  Fragment done = std::move(current_);
  current_ = Fragment{};
  sink_(std::move(done));
}

void CheckAll(std::vector<Fragment>& fragments) {
  for (Fragment& f : fragments) f.checked = true;
}

void CheckSelected(std::vector<Fragment>& fragments, const std::vector<size_t>& rows) {
  for (size_t row : rows)
    if (row < fragments.size()) fragments[row].checked = true;
}

namespace {

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string FragmentListCsv(const std::vector<Fragment>& fragments) {
  std::string out = "碎片编号,所属扇区信息,碎片大小,所属页信息,扩展信息,checked\r\n";
  for (const Fragment& f : fragments) {
    out += FragmentNumberText(f) + "," + FragmentSectorsText(f) + "," +
           CsvField(FragmentSizeText(f)) + "," + FragmentPagesText(f) + "," +
           CsvField(f.extra) + "," + (f.checked ? "1" : "0") + "\r\n";
  }
  return out;
}

}  // namespace tollamer::tools
