// The thirteen page kinds of the file census, and the classification of one
// page by its header.
//
// Test A (empty page), tried first:
//   OFFSET        SIZE  CONDITION
//   0x00, 0x01    1+1   m_headerVersion and m_type are 0
//   0x18          4     0 (m_objId)
//   0x20          4     0 (m_pageId page number)
//   0x24          2     0 (m_pageId file id)
//   0x00..0x5F    8*12  at least one of the twelve 8-byte words is 0
//   0x1FF8        8     the last 8 bytes of the page are 0
// Test B (valid header): 0x40..0x5F all zero, m_headerVersion 1, file id 1,
// m_type one of the twelve known page types; the kind follows from m_type.
// A page that passes neither test is damaged ("err").
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/pagestore/byte_view.h"

namespace tollamer::tools {

enum class PageKind : uint8_t {
  kNull = 1,
  kErr = 2,
  kData = 3,
  kIndex = 4,
  kLob = 5,
  kFileHeader = 6,
  kPfs = 7,
  kGam = 8,
  kSgam = 9,
  kDiffMap = 10,
  kMlMap = 11,
  kBoot = 12,
  kIam = 13,
};

inline constexpr size_t kPageKindCount = 13;
inline constexpr size_t kEmptyTestWords = 12;
inline constexpr size_t kLastWordOffset = 0x1FF8;

// Index 0..12 of a kind in count arrays (kind code - 1).
constexpr size_t KindIndex(PageKind k) { return static_cast<size_t>(k) - 1; }
constexpr PageKind KindAt(size_t index) { return static_cast<PageKind>(index + 1); }

// The census label as the detection dialog shows it ("data page:").
std::string_view CensusLabel(PageKind kind);
// The short name used in the CLI's JSON ("data", "LOB", "file header").
std::string_view KindName(PageKind kind);

// Classifies a whole page (8192 bytes). Anything shorter is err.
PageKind ClassifyPage(ByteView page);

using KindCounts = std::array<uint64_t, kPageKindCount>;

}  // namespace tollamer::tools
