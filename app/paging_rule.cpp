#include "app/paging_rule.h"

#include <cctype>

namespace tollamer::app {

PagingButtons PagingButtonRule(int32_t p, uint32_t n) {
  int64_t N = n;
  if (N == 1) return {};
  if (p == 1 && N > 1) return {false, true, true, true};
  if (p > 1 && p < N) return {true, true, true, true};
  if (p == N && p != 1) return {true, false, true, true};
  return {};
}

void GridState::Next(uint32_t n) {
  ++currentPage;
  if (currentPage == static_cast<int64_t>(n)) nextAllowed = false;
  if (currentPage > 1) previousAllowed = true;
}

void GridState::Previous(uint32_t n) {
  --currentPage;
  if (currentPage < static_cast<int64_t>(n)) nextAllowed = true;
  if (currentPage == 1) previousAllowed = false;
}

bool GridState::Jump(const std::string& text, uint32_t n) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return false;
  }
  if (value == 0 || value > n) return false;
  currentPage = static_cast<int32_t>(value);
  return true;
}

}  // namespace tollamer::app
