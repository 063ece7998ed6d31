// The paging bar's state machine: which buttons are on for grid page P of
// N, and how each button moves P.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tollamer::app {

struct PagingButtons {
  bool previousAndFirst = false;
  bool nextAndLast = false;
  bool jump = false;
  bool edit = false;
};

PagingButtons PagingButtonRule(int32_t page, uint32_t page_count);

// Grid state kept by the main frame and shared by the tree, the paging bar
// and the row reader.
struct GridState {
  uint32_t currentTable = 0;  // object id; 0 = none
  int32_t currentPage = 1;    // 1-based
  bool nextAllowed = false;
  bool previousAllowed = false;

  void Next(uint32_t page_count);
  void Previous(uint32_t page_count);
  void First() { currentPage = 1; }
  void Last(uint32_t page_count) { currentPage = static_cast<int32_t>(page_count); }
  // The jump field's text: leading decimal digits; 0, empty or beyond the
  // page count are ignored. True when the page changed.
  bool Jump(const std::string& text, uint32_t page_count);
};

}  // namespace tollamer::app
